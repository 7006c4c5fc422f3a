/* The floor: plain termios calls on a file descriptor, nothing between the program and the
 * kernel. Same command line and output as the other benchmark programs (see Workload.h). */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static void fail(const char* what) {
    fprintf(stderr, "%s: %s\n", what, strerror(errno));
    exit(1);
}

static int64_t now_ns(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

static char* read_file(const char* path, size_t* size) {
    FILE* f = fopen(path, "rb");
    if (!f)
        fail(path);
    static char buffer[65536];
    *size = fread(buffer, 1, sizeof buffer, f);
    fclose(f);
    char* copy = malloc(*size ? *size : 1);
    memcpy(copy, buffer, *size);
    return copy;
}

/* Opens the device and sets 9600 8N1, no flow control, raw. */
static int open_port(const char* path) {
    int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        fail("open");
    struct termios t;
    if (tcgetattr(fd, &t) != 0)
        fail("tcgetattr");
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        fail("tcsetattr");
    return fd;
}

static void write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            fail("write");
        p += w;
        n -= (size_t)w;
    }
}

static void usage_now(int64_t* cpu_us, long* nvcsw) {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    *cpu_us = ((int64_t)ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000000 + ru.ru_utime.tv_usec +
              ru.ru_stime.tv_usec;
    *nvcsw = ru.ru_nvcsw;
}

/* Resident memory of the process in KiB. */
static long resident_kib(void) {
    long pages = 0, resident = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (!statm || fscanf(statm, "%ld %ld", &pages, &resident) != 2)
        fail("statm");
    fclose(statm);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr,
                "usage: bench_raw print|throughput|latency|idle|scale <port> <count> ...\n");
        return 2;
    }
    const char* kind = argv[1];
    const char* port = argv[2];
    const long count = atol(argv[3]);
    if (strcmp(kind, "print") == 0 && argc == 6) {
        size_t receipt_size, trailer_size;
        char* receipt = read_file(argv[4], &receipt_size);
        char* trailer = read_file(argv[5], &trailer_size);
        int64_t start = now_ns();
        for (long i = 0; i < count; ++i) {
            int fd = open_port(port);
            write_all(fd, receipt, receipt_size);
            write_all(fd, trailer, trailer_size);
            close(fd);
        }
        printf("cycles=%ld\nns=%lld\n", count, (long long)(now_ns() - start));
    } else if (strcmp(kind, "throughput") == 0 && argc == 5) {
        const long block = atol(argv[4]);
        char* bytes = malloc((size_t)count);
        for (long k = 0; k < count; ++k)
            bytes[k] = (char)(k % 251);
        int fd = open_port(port);
        int64_t start = now_ns();
        for (long at = 0; at < count; at += block)
            write_all(fd, bytes + at, (size_t)(count - at < block ? count - at : block));
        int64_t ns = now_ns() - start;
        close(fd);
        printf("bytes=%ld\nns=%lld\n", count, (long long)ns);
    } else if (strcmp(kind, "latency") == 0 && argc == 5) {
        const int ack = atoi(argv[4]);
        int fd = open_port(port);
        int64_t stamp = -1;
        if (write(ack, &stamp, sizeof stamp) != sizeof stamp)
            fail("ack");
        for (long seen = 0; seen < count;) {
            struct pollfd p = {fd, POLLIN, 0};
            if (poll(&p, 1, -1) < 0) {
                if (errno == EINTR)
                    continue;
                fail("poll");
            }
            stamp = now_ns();
            char buffer[256];
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0)
                fail("read");
            seen += n;
            if (write(ack, &stamp, sizeof stamp) != sizeof stamp)
                fail("ack");
        }
        close(fd);
        printf("samples=%ld\n", count);
    } else if (strcmp(kind, "scale") == 0 && argc == 6) {
        /* Every port in the list open at once, all watched by one poll(); bytes come on the last.
         */
        const long idle_ms = atol(argv[4]);
        const int ack = atoi(argv[5]);
        struct pollfd fds[256];
        nfds_t n = 0;
        const long kib0 = resident_kib();
        char* list = strdup(port);
        for (char* name = strtok(list, ","); name; name = strtok(NULL, ",")) {
            if (n == sizeof fds / sizeof fds[0])
                fail("too many ports");
            fds[n].fd = open_port(name);
            fds[n].events = POLLIN;
            ++n;
        }
        const long kib_x10 = (resident_kib() - kib0) * 10 / (long)n;
        /* As the other programs, which let what the opening started settle first. */
        if (poll(fds, n, 200) > 0)
            fail("unexpected input while idle");
        int64_t cpu0, cpu1;
        long cs0, cs1;
        usage_now(&cpu0, &cs0);
        const int64_t end = now_ns() + (int64_t)idle_ms * 1000000;
        for (int64_t now = now_ns(); now < end; now = now_ns())
            if (poll(fds, n, (int)((end - now + 999999) / 1000000)) > 0)
                fail("unexpected input while idle");
        usage_now(&cpu1, &cs1);
        printf("kib_per_port=%ld.%ld\ncpu_us=%lld\nnvcsw=%ld\n", kib_x10 / 10, kib_x10 % 10,
               (long long)(cpu1 - cpu0), cs1 - cs0);
        int64_t stamp = -1;
        if (write(ack, &stamp, sizeof stamp) != sizeof stamp)
            fail("ack");
        for (long seen = 0; seen < count;) {
            if (poll(fds, n, -1) < 0) {
                if (errno == EINTR)
                    continue;
                fail("poll");
            }
            stamp = now_ns();
            for (nfds_t i = 0; i < n; ++i) {
                if (!(fds[i].revents & POLLIN))
                    continue;
                char buffer[256];
                ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
                if (got <= 0)
                    fail("read");
                seen += got;
                if (write(ack, &stamp, sizeof stamp) != sizeof stamp)
                    fail("ack");
            }
        }
        for (nfds_t i = 0; i < n; ++i)
            close(fds[i].fd);
        free(list);
        printf("samples=%ld\n", count);
    } else if (strcmp(kind, "idle") == 0 && argc == 4) {
        int fd = open_port(port);
        int64_t cpu0, cpu1;
        long cs0, cs1;
        usage_now(&cpu0, &cs0);
        const int64_t end = now_ns() + (int64_t)count * 1000000;
        for (int64_t now = now_ns(); now < end; now = now_ns()) {
            struct pollfd p = {fd, POLLIN, 0};
            if (poll(&p, 1, (int)((end - now + 999999) / 1000000)) > 0)
                fail("unexpected input while idle");
        }
        usage_now(&cpu1, &cs1);
        close(fd);
        printf("cpu_us=%lld\nnvcsw=%ld\n", (long long)(cpu1 - cpu0), cs1 - cs0);
    } else {
        fprintf(stderr, "bad arguments for workload %s\n", kind);
        return 2;
    }
    return 0;
}
