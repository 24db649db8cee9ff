// SPDX-License-Identifier: MIT
// The phone's remote: the token comes once in the link's fragment and is kept on the phone; every
// request carries it as a bearer token.
'use strict';

const TOKEN_KEY = 'tavik.token';
const SYSTEM_KEY = 'tavik.system';
const NUMBER_KEY = 'tavik.number';
const MAX_COMMAND = 15;
// Taps waiting behind the send in flight; the server itself keeps no more than 8 waiting.
const MAX_WAITING = 8;
// Stop ends the song being sung: a brushed key must not do that.
const HOLD_MS = 800;

const FUNCTION_NAMES = { KU: 'キー上げ', KD: 'キー下げ', ST: '演奏開始', SP: '演奏中止', CL: '取消' };

// What a send logs when it found no usable transmitter, and what the guests are told instead.
const TRANSMITTER_TROUBLE = [
  ['デバイスが見付かりません。', '送信機がつながっていません。幹事に知らせてください。'],
  ['デバイスを開けません', '送信機を使えません。幹事に知らせてください。'],
  ['デバイスへの送信に失敗しました。', '送信機が外れました。幹事に知らせてください。'],
  ['デバイスからの受信に失敗しました。', '送信機が外れました。幹事に知らせてください。'],
];

const TEXT = {
  noLink: 'パソコンに表示された QR コードを読み取って開いてください。',
  offline: 'パソコンにつながりません。同じ Wi-Fi につながっているか確かめてください。',
  title: 'tavik リモコン',
  sending: (to, what) => `${to} に${spaced(what)}を送っています…`,
  delivered: (to, what) => `${to} に${spaced(what)}を送りました。`,
  refused: (what) => `${spaced(what).trimStart()}は送れません。`,
  notSent: (what) => `${spaced(what).trimStart()}を送れませんでした。`,
  dropped: (count) => `待っていた ${count} 件も送っていません。`,
  unknown: (what) => `${spaced(what).trimStart()}が届いたか分かりません。幹事の画面で確かめてください。`,
  held: '待っている分は、次に押したときに送ります。',
  waiting: (count) => `あと${count}件`,
  full: '送信待ちがいっぱいです。少し待ってから押してください。',
  empty: '曲番号を入れてから SEND を押してください。',
  hold: '演奏中止は 0.8 秒ほど長押ししてください。',
};

const $ = (id) => document.getElementById(id);
const storage = {
  get(key) { try { return localStorage.getItem(key); } catch (e) { return null; } },
  set(key, value) { try { localStorage.setItem(key, value); } catch (e) { /* private mode */ } },
  remove(key) { try { localStorage.removeItem(key); } catch (e) { /* private mode */ } },
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

// Null once the server has refused it: a token of an earlier serving is never sent again (five
// refusals would lock this phone out even after the guest scans the new code).
let token = takeToken();
let tokenRefused = '';
let systems = [];
// Taps in the order made: the one in flight, and those behind it.
let inFlight = null;
const waiting = [];
// After a send whose answer never came, the taps behind it wait for the guest's next tap.
let held = false;
// The newest thing the status line says, before the count of taps still open; while the first
// tap of a run is in flight it speaks of that one.
let latest = '';
let latestIsInFlight = false;

function showProblem(message) {
  const problem = $('problem');
  problem.textContent = message || '';
  problem.hidden = !message;
}

async function call(path, options) {
  if (!token) {
    return { ok: false, status: 401, error: tokenRefused || TEXT.noLink };
  }
  const headers = Object.assign({ Authorization: 'Bearer ' + token }, options.headers || {});
  let response;
  try {
    response = await fetch(path, Object.assign({}, options, { headers, cache: 'no-store' }));
  } catch (e) {
    // No answer: the request may or may not have arrived.
    return { ok: false, unanswered: true, error: TEXT.offline };
  }
  let body = null;
  try { body = await response.json(); } catch (e) { body = null; }
  if (!response.ok) {
    const error = (body && body.error) || TEXT.offline;
    if (response.status === 401) {
      storage.remove(TOKEN_KEY);
      token = null;
      tokenRefused = error;
      showProblem(error);
    }
    return { ok: false, status: response.status, error };
  }
  return { ok: true, body };
}

// A server started for one system lists only it, with at most its one number.
function fixedSystem() {
  return systems.length === 1 && systems[0].numbers.length <= 1 ? systems[0] : null;
}

function fillNumbers() {
  const select = $('number');
  const system = systems.find((s) => s.letter === $('system').value);
  select.replaceChildren();
  const numbers = system ? system.numbers : [];
  for (const n of numbers) {
    select.append(new Option(String(n), String(n)));
  }
  select.disabled = numbers.length === 0 || fixedSystem() !== null;
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

// The system and number a tap goes to, fixed when the tap is made.
function chosenTarget() {
  const system = systems.find((s) => s.letter === $('system').value);
  if (!system) {
    return { token: $('system').value, name: $('system').value };
  }
  const number = system.numbers.length > 0 ? $('number').value : '';
  return {
    token: system.letter + number,
    name: number === '' ? system.name : `${system.name} ${number}`,
  };
}

// A song number stands apart from the words around it; a quoted key name needs no spaces.
function spaced(what) {
  return what.startsWith('「') ? what : ` ${what} `;
}

function commandName(command) {
  const name = FUNCTION_NAMES[command.toUpperCase()];
  return name ? `「${name}」` : command;
}

function showStatus() {
  const open = waiting.length + (inFlight !== null ? 1 : 0);
  const others = latestIsInFlight ? open - 1 : open;
  const status = $('status');
  status.textContent = latest;
  if (others > 0) {
    const count = document.createElement('span');
    count.className = 'waiting';
    count.textContent = TEXT.waiting(others);
    status.append(count);
  }
  document.body.classList.toggle('busy', open > 0);
}

function say(text) {
  latest = text;
  latestIsInFlight = false;
  showStatus();
}

function showResult(lines, delivered, status) {
  const result = document.querySelector('.result');
  result.classList.toggle('delivered', delivered === true);
  result.classList.toggle('failed', delivered === false);
  say(status);
  const list = $('lines');
  list.replaceChildren();
  for (const line of lines) {
    const item = document.createElement('p');
    item.textContent = line;
    list.append(item);
  }
}

function undeliveredText(tap, lines) {
  for (const [line, text] of TRANSMITTER_TROUBLE) {
    if (lines.some((l) => l.startsWith(line))) {
      return text;
    }
  }
  return TEXT.notSent(tap.what);
}

async function sendNext() {
  if (inFlight !== null || waiting.length === 0 || held) {
    return;
  }
  inFlight = waiting.shift();
  const tap = inFlight;
  const answer = await call('/api/send', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ system: tap.to.token, command: tap.command }),
  });
  inFlight = null;
  if (answer.ok) {
    const lines = answer.body.lines || [];
    const delivered = answer.body.delivered === true;
    showResult(lines, delivered,
               delivered ? TEXT.delivered(tap.to.name, tap.what) : undeliveredText(tap, lines));
    // A typed command that did not arrive is back for another try, unless the guest has typed
    // since.
    if (!delivered && tap.typed && $('command').value === '') {
      $('command').value = tap.command;
    }
  } else if (answer.status === 400) {
    // This command cannot be sent; those behind it may well be.
    showResult([answer.error], false, TEXT.refused(tap.what));
  } else if (answer.unanswered) {
    // It may have gone out: sending it again could play a song twice. The taps behind it wait
    // until the guest taps again.
    held = waiting.length > 0;
    showResult([], null,
               TEXT.unknown(tap.what) + (held ? TEXT.held : ''));
  } else {
    // Busy, locked out, stopped or out of reach: the taps behind this one would fare no better,
    // and sending them later, out of the guest's sight, would surprise.
    const dropped = waiting.splice(0).length;
    showResult([answer.error], false,
               TEXT.notSent(tap.what) + (dropped > 0 ? TEXT.dropped(dropped) : ''));
  }
  sendNext();
}

// Queues one tap; false when the queue is full, which the status line then says.
function tap(command, typed = false) {
  if (waiting.length >= MAX_WAITING) {
    say(TEXT.full);
    return false;
  }
  const to = chosenTarget();
  const what = commandName(command);
  waiting.push({ to, command, what, typed });
  held = false;
  if (inFlight === null) {
    showResult([], null, TEXT.sending(to.name, what));
    latestIsInFlight = true;
    sendNext();
  }
  showStatus();
  return true;
}

function sendField() {
  const field = $('command');
  if (field.value === '') {
    say(TEXT.empty);
  } else if (tap(field.value, true)) {
    field.value = '';
  }
}

function type(key) {
  const field = $('command');
  if (field.value.length < MAX_COMMAND) {
    field.value += key;
  }
}

// Sends `command` once the button has been held for HOLD_MS; an earlier release says how.
function wireHold(button, command) {
  let timer = null;
  const begin = () => {
    if (timer === null) {
      button.classList.add('holding');
      timer = setTimeout(() => {
        timer = null;
        button.classList.remove('holding');
        tap(command);
      }, HOLD_MS);
    }
  };
  const cancel = () => {
    const wasHeld = timer !== null;
    clearTimeout(timer);
    timer = null;
    button.classList.remove('holding');
    return wasHeld;
  };
  const release = () => {
    if (cancel()) {
      say(TEXT.hold);
    }
  };
  button.addEventListener('pointerdown', (event) => {
    if (event.button === 0) {
      begin();
    }
  });
  button.addEventListener('pointerup', release);
  button.addEventListener('pointerleave', cancel);
  button.addEventListener('pointercancel', cancel);
  button.addEventListener('keydown', (event) => {
    if ((event.key === 'Enter' || event.key === ' ') && !event.repeat) {
      begin();
    }
  });
  button.addEventListener('keyup', (event) => {
    if (event.key === 'Enter' || event.key === ' ') {
      release();
    }
  });
  button.addEventListener('blur', cancel);
  // A long touch would otherwise open the browser's menu or select the label.
  button.addEventListener('contextmenu', (event) => event.preventDefault());
}

function wire() {
  for (const button of document.querySelectorAll('[data-key]')) {
    button.addEventListener('click', () => type(button.dataset.key));
  }
  $('backspace').addEventListener('click', () => {
    $('command').value = $('command').value.slice(0, -1);
  });
  for (const button of document.querySelectorAll('[data-function]')) {
    if (button.classList.contains('hold')) {
      wireHold(button, button.dataset.function);
    } else {
      button.addEventListener('click', () => tap(button.dataset.function));
    }
  }
  $('send').addEventListener('click', sendField);
  $('command').addEventListener('keydown', (event) => {
    if (event.key === 'Enter') {
      sendField();
    }
  });
  $('system').addEventListener('change', () => { fillNumbers(); remember(); });
  $('number').addEventListener('change', remember);
}

function showFixed(system) {
  const name = system.numbers.length > 0 ? `${system.name} ${system.numbers[0]}` : system.name;
  document.querySelector('h1').textContent = name;
  document.title = `${name} - ${TEXT.title}`;
  document.body.classList.add('fixed');
  $('system').disabled = true;
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
  // The guest's own choice, else the one the host's window shows.
  const kept = storage.get(SYSTEM_KEY);
  const host = systems.find((s) => s.current !== undefined);
  if (kept && systems.some((s) => s.letter === kept)) {
    select.value = kept;
  } else if (host) {
    select.value = host.letter;
  }
  fillNumbers();
  if (!kept && host && host.current !== null) {
    $('number').value = String(host.current);
  }
  const fixed = fixedSystem();
  if (fixed) {
    showFixed(fixed);
  }
}

start();
