#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <iostream>

#include "console/console.hpp"

namespace kelmora::console {

namespace {

void setColour(const Colour& colour) {
    // Colour is for people: a file or a pipe gets the report's text alone.
    if (isatty(STDOUT_FILENO) == 1) {
        std::cout << colour.ansi << std::flush;
    }
}

class AnsiTerminal final : public Colouring {
  public:
    void setVerdictAttribute(SizeVerdict verdict) override { setColour(colourOf(verdict)); }
    void setNeutralAttribute() override { setColour(neutralColour); }
};

// The signals that may end the program while the terminal is in raw mode.
constexpr std::array endingSignals{SIGHUP, SIGINT, SIGQUIT, SIGTERM};

termios userTerminal{};

void setHandler(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

extern "C" void restoreAndDie(int signal) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &userTerminal);
    // Blocked until this handler returns, the signal then ends the process as
    // it would have without the handler.
    setHandler(signal, SIG_DFL);
    raise(signal);
}

// Installs or removes restoreAndDie, leaving alone any signal that the program
// was started with ignored.
void guardEndingSignals(bool guard) {
    for (int signal : endingSignals) {
        struct sigaction current {};
        sigaction(signal, nullptr, &current);
        if (current.sa_handler == SIG_IGN) {
            continue;
        }
        setHandler(signal, guard ? restoreAndDie : SIG_DFL);
    }
}

ssize_t readRetrying(void* buffer, std::size_t size) {
    ssize_t got = 0;
    do {
        got = read(STDIN_FILENO, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got;
}

void waitForKeyOnTerminal() {
    termios raw = userTerminal;
    // No echo, no line editing, and Ctrl-C, Ctrl-\, Ctrl-Z, Ctrl-S arrive as keys.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;

    guardEndingSignals(true);
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);

    std::array<char, 64> key{};
    if (readRetrying(key.data(), 1) > 0) {
        // An arrow or function key sends several bytes in a burst: take the
        // rest of it too, so that none of it reaches the shell afterwards.
        constexpr int burstGapMs = 30;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        while (poll(&input, 1, burstGapMs) > 0 && readRetrying(key.data(), key.size()) > 0) {
        }
    }

    tcsetattr(STDIN_FILENO, TCSAFLUSH, &userTerminal);
    guardEndingSignals(false);
}

}  // namespace

void prepareOutput() {
    // A reader that has gone away must not kill the report; the failed write
    // is ignored like any other.
    std::signal(SIGPIPE, SIG_IGN);
}

Colouring& platformColouring() {
    static AnsiTerminal terminal;
    return terminal;
}

void waitForKey() {
    if (tcgetattr(STDIN_FILENO, &userTerminal) == 0) {
        waitForKeyOnTerminal();
        return;
    }
    // Not a terminal: one byte, or end of input or an error, ends the wait.
    char byte = 0;
    readRetrying(&byte, 1);
}

}  // namespace kelmora::console
