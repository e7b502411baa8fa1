// A stand-in for the primary application: appends its arguments, one line per start with a
// tab before each argument, to the file named by QX_STANDIN_RECORD, then ends at once.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* record = std::getenv("QX_STANDIN_RECORD");
    if (record == nullptr)
        return 2;
    std::FILE* file = std::fopen(record, "ab");
    if (file == nullptr)
        return 3;
    for (int i = 1; i < argc; ++i)
        std::fprintf(file, "\t%s", argv[i]);
    std::fputs("\n", file);
    std::fclose(file);
    return 0;
}
