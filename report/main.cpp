#include <iostream>

#include "console/console.hpp"
#include "report/catalogue.hpp"
#include "report/run.hpp"

int main() {
    kelmora::console::prepareOutput();
    kelmora::writeReport(std::cout, kelmora::catalogue, kelmora::console::platformColouring());
    kelmora::console::waitForKey();
    return 0;
}
