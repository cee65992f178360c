#include <windows.h>

#include <cstdlib>
#include <iostream>

#include "console/console.hpp"

namespace kelmora::console {

namespace {

void setAttribute(const Colour& colour) {
    // Text still held in the stream's buffer must reach the console in the
    // colour it was written in.
    std::cout.flush();
    // Fetched afresh each time; when output is not a console the call fails
    // harmlessly and the text stays free of colour.
    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), colour.attribute);
}

class ConsoleAttributes final : public Colouring {
  public:
    void setVerdictAttribute(SizeVerdict verdict) override { setAttribute(colourOf(verdict)); }
    void setNeutralAttribute() override { setAttribute(neutralColour); }
};

}  // namespace

void prepareOutput() {}

Colouring& platformColouring() {
    static ConsoleAttributes console;
    return console;
}

void waitForKey() {
    std::system("pause>nul");
}

}  // namespace kelmora::console
