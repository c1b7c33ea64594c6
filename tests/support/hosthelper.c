/* The Linux side of a Windows test under Wine. Wine runs a Linux program that a Windows program
 * starts, but gives no handle to it and no pipe to talk through; so the test starts this one
 * with a loopback port, and it waits there for the test's connection, then does as told, one
 * command a line, one answer a line:
 *   pty LINK        a pseudo-terminal, its slave linked at LINK (a Wine prefix's dosdevices/comN,
 *                   so the program opens it as COMn)                      -> "ok SLAVE"
 *   write HEX...    sends the bytes down the line                         -> "ok"
 *   settings        the line's settings as the program left them          -> "9600 8N1"
 *   hangup          the other end goes, as a pulled cable                  -> "ok"
 *   start LOG PROGRAM ARGS...  starts a program (a broker), its output appended to LOG -> "ok PID"
 *   signal N        sends signal N to that program                         -> "ok"
 *   wait MS         waits up to MS for it to end        -> "exited CODE", "killed SIG" or "running"
 *   run DIR OUT PROGRAM ARGS...  runs a program in DIR ("-": here) to its end, its standard
 *                   output into the file OUT, its error output into OUT.err -> "exited CODE"
 * The fields of start and run are separated by tabs, so that an argument may hold spaces.
 * When the connection ends it ends the program, removes the link and exits.
 *   hosthelper PORT */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static int master = -1, slave = -1;
static char link_path[4096];
static pid_t child = -1;

static unsigned speedOf(speed_t code)
{
    static const struct
    {
        speed_t code;
        unsigned bits;
    } rates[] = {{B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
                 {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
                 {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
                 {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
                 {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    for (size_t i = 0; i < sizeof rates / sizeof rates[0]; ++i)
        if (rates[i].code == code)
            return rates[i].bits;
    return 0;
}

static void answerSettings(FILE *out)
{
    struct termios t;
    if (slave < 0 || tcgetattr(slave, &t) != 0) {
        fprintf(out, "failed\n");
        return;
    }
    const tcflag_t size = t.c_cflag & CSIZE;
    const int bits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    char parity = 'N';
    if (t.c_cflag & PARENB) {
#ifdef CMSPAR
        if (t.c_cflag & CMSPAR)
            parity = (t.c_cflag & PARODD) ? 'M' : 'S';
        else
#endif
            parity = (t.c_cflag & PARODD) ? 'O' : 'E';
    }
    fprintf(out, "%u %d%c%d\n", speedOf(cfgetospeed(&t)), bits, parity,
            (t.c_cflag & CSTOPB) ? 2 : 1);
}

static int sendHex(const char *hex)
{
    unsigned char bytes[8192];
    size_t n = 0;
    unsigned value;
    int used;
    while (n < sizeof bytes && sscanf(hex, " %2x%n", &value, &used) == 1) {
        bytes[n++] = (unsigned char)value;
        hex += used;
    }
    for (size_t done = 0; done < n;) {
        const ssize_t w = write(master, bytes + done, n - done);
        if (w > 0)
            done += (size_t)w;
        else if (w < 0 && errno != EINTR && errno != EAGAIN)
            return -1;
    }
    return 0;
}

static int makePty(const char *path, FILE *out)
{
    char name[256];
    if (master >= 0 || strlen(path) >= sizeof link_path
        || openpty(&master, &slave, name, NULL, NULL) != 0)
        return -1;
    struct termios raw;
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    memcpy(link_path, path, strlen(path) + 1);
    unlink(link_path);
    if (symlink(name, link_path) != 0)
        return -1;
    fprintf(out, "ok %s\n", name);
    return 0;
}

/* Splits tab-separated fields in place; returns how many. */
static int fields(char *text, char **field, int most)
{
    text[strcspn(text, "\n")] = '\0';
    int n = 0;
    for (char *f = strtok(text, "\t"); f && n < most - 1; f = strtok(NULL, "\t"))
        field[n++] = f;
    field[n] = NULL;
    return n;
}

static pid_t spawn(char **argv, const char *dir, const char *log, const char *errors)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (dir && strcmp(dir, "-") != 0 && chdir(dir) != 0)
            _exit(126);
        const int flags = errors ? O_WRONLY | O_CREAT | O_TRUNC : O_WRONLY | O_CREAT | O_APPEND;
        const int fd = open(log, flags, 0644);
        const int efd = errors ? open(errors, flags, 0644) : fd;
        if (fd >= 0)
            dup2(fd, 1);
        if (efd >= 0)
            dup2(efd, 2);
        execvp(argv[0], argv);
        _exit(127);
    }
    return pid;
}

static void startProgram(char *args, FILE *out)
{
    char *field[64];
    if (fields(args, field, 64) < 2 || child > 0) {
        fprintf(out, "failed\n");
        return;
    }
    child = spawn(field + 1, NULL, field[0], NULL);
    fprintf(out, child > 0 ? "ok %d\n" : "failed\n", (int)child);
}

static void runProgram(char *args, FILE *out)
{
    char *field[64];
    char errors[4200];
    if (fields(args, field, 64) < 3 || strlen(field[1]) > 4096) {
        fprintf(out, "failed\n");
        return;
    }
    snprintf(errors, sizeof errors, "%s.err", field[1]);
    const pid_t pid = spawn(field + 2, field[0], field[1], errors);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        fprintf(out, "failed\n");
        return;
    }
    fprintf(out, "exited %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

static void waitProgram(long ms, FILE *out)
{
    if (child <= 0) {
        fprintf(out, "failed\n");
        return;
    }
    for (long waited = 0;; waited += 10) {
        int status = 0;
        const pid_t r = waitpid(child, &status, WNOHANG);
        if (r == child) {
            child = -1;
            if (WIFEXITED(status))
                fprintf(out, "exited %d\n", WEXITSTATUS(status));
            else
                fprintf(out, "killed %d\n", WTERMSIG(status));
            return;
        }
        if (waited >= ms) {
            fprintf(out, "running\n");
            return;
        }
        const struct timespec tick = {0, 10 * 1000 * 1000};
        nanosleep(&tick, NULL);
    }
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: hosthelper PORT\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    const int server = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    struct sockaddr_in address = {0};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons((unsigned short)atoi(argv[1]));
    if (bind(server, (struct sockaddr *)&address, sizeof address) != 0 || listen(server, 1) != 0) {
        perror("hosthelper");
        return 1;
    }
    /* Nobody coming within a minute: the test is gone. */
    alarm(60);
    const int peer = accept(server, NULL, NULL);
    alarm(0);
    close(server);
    if (peer < 0)
        return 1;
    FILE *in = fdopen(peer, "r");
    FILE *out = fdopen(dup(peer), "w");
    setvbuf(out, NULL, _IOLBF, 0);
    char line[65536];
    while (fgets(line, sizeof line, in)) {
        if (strncmp(line, "pty ", 4) == 0) {
            line[strcspn(line, "\n")] = '\0';
            if (makePty(line + 4, out) != 0)
                fprintf(out, "failed\n");
        } else if (strncmp(line, "write", 5) == 0) {
            fprintf(out, master >= 0 && sendHex(line + 5) == 0 ? "ok\n" : "failed\n");
        } else if (strncmp(line, "settings", 8) == 0) {
            answerSettings(out);
        } else if (strncmp(line, "hangup", 6) == 0) {
            if (master >= 0)
                close(master);
            master = -1;
            fprintf(out, "ok\n");
        } else if (strncmp(line, "start\t", 6) == 0) {
            startProgram(line + 6, out);
        } else if (strncmp(line, "run\t", 4) == 0) {
            runProgram(line + 4, out);
        } else if (strncmp(line, "signal ", 7) == 0) {
            fprintf(out, child > 0 && kill(child, atoi(line + 7)) == 0 ? "ok\n" : "failed\n");
        } else if (strncmp(line, "wait ", 5) == 0) {
            waitProgram(atol(line + 5), out);
        } else {
            fprintf(out, "unknown\n");
        }
    }
    if (child > 0) {
        kill(child, SIGTERM);
        waitpid(child, NULL, 0);
    }
    if (link_path[0])
        unlink(link_path);
    return 0;
}
