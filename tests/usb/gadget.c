// SPDX-License-Identifier: MIT
// The transmitter's side of the USB test bed, run in the guest (static, so that it runs before
// the host's root is mounted as well as after).
//
//   tavik-gadget plug NAME UDC SERIAL LOG [--pace MS] [--answer] [--unplug N:MS]...
//     Makes the gadget NAME in configfs (0BFE:2022, bcdDevice 0x0105, one HID function),
//     binds it to UDC and logs every output report to LOG as "NS out HEX", NS being
//     CLOCK_MONOTONIC in nanoseconds. --pace takes one report every MS ms (the kernel holds a
//     few more, then the host's writes wait); --answer sends the input report A1 A2 .. A7 after
//     each one; --unplug unbinds after the Nth report and binds again MS ms
//     later, logged as "NS unplug" and "NS replug"; with --hold the reports for --unplug are
//     counted only from SIGUSR1 on. Runs until SIGTERM, then unbinds.
//   tavik-gadget stamp FILE COMMAND [ARG]...
//     Runs COMMAND, adds "NS STATUS" to FILE the moment it has ended, exits with its status.
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define GADGETS "/sys/kernel/config/usb_gadget"
#define MAX_UNPLUGS 8

// Vendor-defined, no report IDs: a 7-byte input report and an 8-byte output report.
static const unsigned char kReportDescriptor[] = {
    0x06, 0x00, 0xFF,  // usage page (vendor 0xFF00)
    0x09, 0x01,        // usage 1
    0xA1, 0x01,        // collection (application)
    0x15, 0x00,        //   logical minimum 0
    0x26, 0xFF, 0x00,  //   logical maximum 255
    0x75, 0x08,        //   report size 8
    0x95, 0x07,        //   report count 7
    0x09, 0x01,        //   usage 1
    0x81, 0x02,        //   input (data, variable, absolute)
    0x95, 0x08,        //   report count 8
    0x09, 0x01,        //   usage 1
    0x91, 0x02,        //   output (data, variable, absolute)
    0xC0,              // end collection
};

static volatile sig_atomic_t stopping;
static volatile sig_atomic_t armed;

static void onStop(int signal) {
    (void)signal;
    stopping = 1;
}

static void onArm(int signal) {
    (void)signal;
    armed = 1;
}

static void die(const char* what, const char* detail) {
    fprintf(stderr, "tavik-gadget: %s %s: %s\n", what, detail, strerror(errno));
    exit(1);
}

static int64_t nowNs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

static void sleepMs(int64_t ms) {
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0 && errno == EINTR && !stopping) {
    }
}

static void writeFile(const char* dir, const char* name, const void* data, size_t length) {
    char path[512];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    const int fd = open(path, O_WRONLY);
    if (fd < 0 || write(fd, data, length) != (ssize_t)length) {
        die("cannot write", path);
    }
    close(fd);
}

static void writeText(const char* dir, const char* name, const char* text) {
    writeFile(dir, name, text, strlen(text));
}

static void makeDir(const char* path) {
    if (mkdir(path, 0755) != 0 && errno != EEXIST) {
        die("cannot make", path);
    }
}

// The gadget's directory, filled once: the function's attributes are locked while it is linked
// into the configuration, so a second plug of the same name only binds it again.
static void makeGadget(const char* gadget, const char* serial) {
    char path[512];
    if (access(gadget, F_OK) == 0) {
        return;
    }
    makeDir(gadget);
    writeText(gadget, "idVendor", "0x0bfe");
    writeText(gadget, "idProduct", "0x2022");
    writeText(gadget, "bcdDevice", "0x0105");
    writeText(gadget, "bcdUSB", "0x0200");
    snprintf(path, sizeof path, "%s/strings/0x409", gadget);
    makeDir(path);
    writeText(path, "manufacturer", "Test Maker");
    writeText(path, "product", "IR Transmitter");
    writeText(path, "serialnumber", serial);
    snprintf(path, sizeof path, "%s/configs/c.1", gadget);
    makeDir(path);
    snprintf(path, sizeof path, "%s/functions/hid.0", gadget);
    makeDir(path);
    writeText(path, "protocol", "0");
    writeText(path, "subclass", "0");
    writeText(path, "report_length", "8");
    writeFile(path, "report_desc", kReportDescriptor, sizeof kReportDescriptor);
    char link[512];
    snprintf(link, sizeof link, "%s/configs/c.1/hid.0", gadget);
    if (symlink(path, link) != 0 && errno != EEXIST) {
        die("cannot link", link);
    }
}

// The function's character device, made from its numbers so that no udev is needed.
static int openFunction(const char* gadget, const char* name) {
    char path[512];
    char numbers[32] = {0};
    snprintf(path, sizeof path, "%s/functions/hid.0/dev", gadget);
    const int fd = open(path, O_RDONLY);
    if (fd < 0 || read(fd, numbers, sizeof numbers - 1) <= 0) {
        die("cannot read", path);
    }
    close(fd);
    unsigned major = 0;
    unsigned minor = 0;
    if (sscanf(numbers, "%u:%u", &major, &minor) != 2) {
        errno = EINVAL;
        die("no device numbers in", path);
    }
    snprintf(path, sizeof path, "/tmp/tavik-gadget-%s", name);
    unlink(path);
    if (mknod(path, S_IFCHR | 0600, makedev(major, minor)) != 0) {
        die("cannot make", path);
    }
    const int device = open(path, O_RDWR | O_NONBLOCK);
    if (device < 0) {
        die("cannot open", path);
    }
    return device;
}

static void logLine(int log, const char* text) {
    char line[128];
    const int length = snprintf(line, sizeof line, "%" PRId64 " %s\n", nowNs(), text);
    if (write(log, line, (size_t)length) != length) {
        die("cannot write", "the log");
    }
}

static int plug(int argc, char** argv) {
    if (argc < 6) {
        fprintf(stderr, "usage: tavik-gadget plug NAME UDC SERIAL LOG [options]\n");
        return 2;
    }
    const char* name = argv[2];
    const char* udc = argv[3];
    int paceMs = 0;
    int answer = 0;
    int hold = 0;
    int unplugAfter[MAX_UNPLUGS];
    int awayMs[MAX_UNPLUGS];
    int unplugs = 0;
    for (int i = 6; i < argc; ++i) {
        if (strcmp(argv[i], "--pace") == 0 && i + 1 < argc) {
            paceMs = atoi(argv[++i]);
        } else if (strcmp(argv[i], "--answer") == 0) {
            answer = 1;
        } else if (strcmp(argv[i], "--hold") == 0) {
            hold = 1;
        } else if (strcmp(argv[i], "--unplug") == 0 && i + 1 < argc && unplugs < MAX_UNPLUGS &&
                   sscanf(argv[++i], "%d:%d", &unplugAfter[unplugs], &awayMs[unplugs]) == 2) {
            ++unplugs;
        } else {
            fprintf(stderr, "tavik-gadget: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    char gadget[256];
    snprintf(gadget, sizeof gadget, GADGETS "/%s", name);
    makeGadget(gadget, argv[4]);
    const int log = open(argv[5], O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    if (log < 0) {
        die("cannot open", argv[5]);
    }
    signal(SIGTERM, onStop);
    signal(SIGINT, onStop);
    signal(SIGUSR1, onArm);
    writeText(gadget, "UDC", udc);
    int device = openFunction(gadget, name);
    logLine(log, "plug");

    int counted = 0;
    int nextUnplug = 0;
    int64_t lastTaken = 0;
    while (!stopping) {
        struct pollfd p = {device, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            continue;
        }
        unsigned char report[8];
        const ssize_t length = read(device, report, sizeof report);
        if (length <= 0) {
            continue;
        }
        char text[64] = "out ";
        for (ssize_t i = 0; i < length; ++i) {
            snprintf(text + strlen(text), sizeof text - strlen(text), "%02X", report[i]);
        }
        logLine(log, text);
        if (!hold || armed) {
            ++counted;
        }
        static const unsigned char kAnswer[7] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
        if (answer && write(device, kAnswer, sizeof kAnswer) != sizeof kAnswer) {
            logLine(log, "answer-failed");
        }
        if (nextUnplug < unplugs && counted == unplugAfter[nextUnplug]) {
            close(device);
            writeText(gadget, "UDC", "\n");
            logLine(log, "unplug");
            sleepMs(awayMs[nextUnplug++]);
            writeText(gadget, "UDC", udc);
            device = openFunction(gadget, name);
            logLine(log, "replug");
        }
        if (paceMs > 0) {
            const int64_t wait = lastTaken + (int64_t)paceMs * 1000000 - nowNs();
            if (wait > 0 && lastTaken != 0) {
                sleepMs(wait / 1000000);
            }
            lastTaken = nowNs();
        }
    }
    close(device);
    writeText(gadget, "UDC", "\n");
    logLine(log, "stop");
    return 0;
}

static int stamp(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: tavik-gadget stamp FILE COMMAND [ARG]...\n");
        return 2;
    }
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[3], argv + 3);
        die("cannot run", argv[3]);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const int64_t end = nowNs();
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    FILE* out = fopen(argv[2], "a");
    if (out == NULL) {
        die("cannot open", argv[2]);
    }
    fprintf(out, "%" PRId64 " %d\n", end, code);
    fclose(out);
    return code;
}

int main(int argc, char** argv) {
    if (argc > 1 && strcmp(argv[1], "plug") == 0) {
        return plug(argc, argv);
    }
    if (argc > 1 && strcmp(argv[1], "stamp") == 0) {
        return stamp(argc, argv);
    }
    fprintf(stderr, "usage: tavik-gadget plug ... | tavik-gadget stamp ...\n");
    return 2;
}
