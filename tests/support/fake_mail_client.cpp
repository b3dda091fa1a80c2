// Stands in for the user's mail client in tests: registered as the mailto handler, it
// appends the address it is opened with (one line) to the file named by ORVIX_FAKE_MAIL_LOG.
#include <cstdlib>
#include <fstream>

int main(int argc, char** argv) {
    const char* log = std::getenv("ORVIX_FAKE_MAIL_LOG");
    if (!log)
        return 4;
    std::ofstream out(log, std::ios::binary | std::ios::app);
    for (int i = 1; i < argc; ++i)
        out << argv[i] << '\n';
    return out ? 0 : 4;
}
