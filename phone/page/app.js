// SPDX-License-Identifier: MIT
// The phone's remote: the token comes once in the link's fragment and is kept on the phone; every
// request carries it as a bearer token.
'use strict';

const TOKEN_KEY = 'tavik.token';
const SYSTEM_KEY = 'tavik.system';
const NUMBER_KEY = 'tavik.number';
const MAX_COMMAND = 15;

const TEXT = {
  noLink: 'パソコンに表示された QR コードを読み取って開いてください。',
  offline: 'パソコンにつながりません。同じ Wi-Fi につながっているか確かめてください。',
  sending: '送信中…',
  delivered: '送信しました。',
  notDelivered: '送信できませんでした。',
};

const $ = (id) => document.getElementById(id);
const storage = {
  get(key) { try { return localStorage.getItem(key); } catch (e) { return null; } },
  set(key, value) { try { localStorage.setItem(key, value); } catch (e) { /* private mode */ } },
};

function takeToken() {
  const fragment = new URLSearchParams(location.hash.slice(1));
  const fromLink = fragment.get('k');
  if (fromLink) {
    storage.set(TOKEN_KEY, fromLink);
    // Keep the token out of the address bar and the history.
    history.replaceState(null, '', location.pathname);
    return fromLink;
  }
  return storage.get(TOKEN_KEY);
}

const token = takeToken();
let systems = [];
let busy = false;

function showProblem(message) {
  const problem = $('problem');
  problem.textContent = message || '';
  problem.hidden = !message;
}

async function call(path, options) {
  const headers = Object.assign({ Authorization: 'Bearer ' + token }, options.headers || {});
  let response;
  try {
    response = await fetch(path, Object.assign({}, options, { headers, cache: 'no-store' }));
  } catch (e) {
    return { ok: false, error: TEXT.offline };
  }
  let body = null;
  try { body = await response.json(); } catch (e) { body = null; }
  if (!response.ok) {
    return { ok: false, status: response.status, error: (body && body.error) || TEXT.offline };
  }
  return { ok: true, body };
}

function fillNumbers() {
  const select = $('number');
  const system = systems.find((s) => s.letter === $('system').value);
  select.replaceChildren();
  const numbers = system ? system.numbers : [];
  for (const n of numbers) {
    select.append(new Option(String(n), String(n)));
  }
  select.disabled = numbers.length === 0;
  const kept = storage.get(NUMBER_KEY);
  if (kept !== null && numbers.includes(Number(kept))) {
    select.value = kept;
  }
}

function remember() {
  storage.set(SYSTEM_KEY, $('system').value);
  if (!$('number').disabled) {
    storage.set(NUMBER_KEY, $('number').value);
  }
}

function showResult(lines, delivered, status) {
  const result = document.querySelector('.result');
  result.classList.toggle('delivered', delivered === true);
  result.classList.toggle('failed', delivered === false);
  $('status').textContent = status;
  const list = $('lines');
  list.replaceChildren();
  for (const line of lines) {
    const item = document.createElement('li');
    item.textContent = line;
    list.append(item);
  }
}

async function send(command) {
  if (busy) {
    return;
  }
  const number = $('number').disabled ? '' : $('number').value;
  const system = $('system').value + number;
  busy = true;
  document.body.classList.add('busy');
  $('send').disabled = true;
  showResult([], null, TEXT.sending);
  const answer = await call('/api/send', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ system, command }),
  });
  busy = false;
  $('send').disabled = false;
  if (answer.ok) {
    const delivered = answer.body.delivered === true;
    showResult(answer.body.lines || [], delivered,
               delivered ? TEXT.delivered : TEXT.notDelivered);
    if (delivered && command === $('command').value) {
      $('command').value = '';
    }
  } else {
    showResult([answer.error], false, TEXT.notDelivered);
  }
}

function type(key) {
  const field = $('command');
  if (field.value.length < MAX_COMMAND) {
    field.value += key;
  }
}

function wire() {
  for (const button of document.querySelectorAll('[data-key]')) {
    button.addEventListener('click', () => type(button.dataset.key));
  }
  $('backspace').addEventListener('click', () => {
    $('command').value = $('command').value.slice(0, -1);
  });
  for (const button of document.querySelectorAll('[data-function]')) {
    button.addEventListener('click', () => send(button.dataset.function));
  }
  $('send').addEventListener('click', () => send($('command').value));
  $('command').addEventListener('keydown', (event) => {
    if (event.key === 'Enter') {
      send($('command').value);
    }
  });
  $('system').addEventListener('change', () => { fillNumbers(); remember(); });
  $('number').addEventListener('change', remember);
}

async function start() {
  wire();
  // A new link opened over this page brings a new token: start again with it.
  window.addEventListener('hashchange', () => {
    if (takeToken() !== token) {
      location.reload();
    }
  });
  if (!token) {
    showProblem(TEXT.noLink);
    return;
  }
  const answer = await call('/api/systems', { method: 'GET' });
  if (!answer.ok) {
    showProblem(answer.error);
    return;
  }
  systems = answer.body;
  const select = $('system');
  for (const system of systems) {
    select.append(new Option(system.name, system.letter));
  }
  const kept = storage.get(SYSTEM_KEY);
  if (kept && systems.some((s) => s.letter === kept)) {
    select.value = kept;
  }
  fillNumbers();
}

start();
