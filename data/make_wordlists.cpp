// Writes the letter word lists that come with the program into the folder named on the
// command line: every string of two, three and four letters a-z, in order, one a line,
// every line ended by CR LF. Built and run at build time, so the lists are not kept in git.
#include <cstdio>
#include <string>

namespace {

bool writeAllStrings(const std::string &path, int length)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "make_wordlists: cannot write %s\n", path.c_str());
        return false;
    }
    std::string word(static_cast<std::size_t>(length), 'a');
    bool ok = true;
    for (;;) {
        ok = ok && std::fputs(word.c_str(), file) >= 0 && std::fputs("\r\n", file) >= 0;
        // Count up like an odometer over a-z; stop after "zz..z".
        int i = length - 1;
        while (i >= 0 && word[static_cast<std::size_t>(i)] == 'z')
            word[static_cast<std::size_t>(i--)] = 'a';
        if (i < 0)
            break;
        ++word[static_cast<std::size_t>(i)];
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "make_wordlists: writing %s failed\n", path.c_str());
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_wordlists OUTPUT-FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = writeAllStrings(folder + "/AllTwoLetter.txt", 2) &&
                    writeAllStrings(folder + "/AllThreeLetter.txt", 3) &&
                    writeAllStrings(folder + "/AllFourLetter.txt", 4);
    return ok ? 0 : 1;
}
