// tactra-replay: replays a panel trace through the same code as Tactra and prints
// what the system would do.
#include <iostream>
#include <string>

#include "tools/replay/replay_session.h"

namespace {

const char kUsage[] =
    "usage: tactra-replay [--batches] [--states] [--library] [--dir DIR] [--svg OUT.svg] TRACE\n"
    "  --batches   also print every batch delivered to the gesture engine\n"
    "  --states    also print every change of the gesture engine's states\n"
    "  --library   run the trace through tpinput's report processing instead\n"
    "  --dir DIR   working directory for the profile and calibration files\n"
    "  --svg OUT   also draw the session into the SVG file OUT\n";

enum class ArgResult { kTaken, kUnknown, kError };

// One option at argv[i]; options that take a value advance i.
ArgResult ParseOption(int argc, char** argv, int& i, tactra::ReplayOptions& options) {
    const std::string arg = argv[i];
    if (arg == "--batches") {
        options.printBatches = true;
        return ArgResult::kTaken;
    }
    if (arg == "--states") {
        options.printStates = true;
        return ArgResult::kTaken;
    }
    if (arg == "--library") {
        options.library = true;
        return ArgResult::kTaken;
    }
    if (arg == "--dir") {
        if (i + 1 >= argc) {
            std::cerr << "tactra-replay: --dir needs a directory\n" << kUsage;
            return ArgResult::kError;
        }
        options.workDir = argv[++i];
        return ArgResult::kTaken;
    }
    if (arg == "--svg") {
        if (i + 1 >= argc || argv[i + 1][0] == '\0') {
            std::cerr << "tactra-replay: --svg needs a file name\n" << kUsage;
            return ArgResult::kError;
        }
        options.svgPath = argv[++i];
        return ArgResult::kTaken;
    }
    return ArgResult::kUnknown;
}

}  // namespace

int main(int argc, char** argv) {
    tactra::ReplayOptions options;
    std::string tracePath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (!arg.empty() && arg[0] == '-' && arg != "-") {
            switch (ParseOption(argc, argv, i, options)) {
                case ArgResult::kTaken:
                    continue;
                case ArgResult::kError:
                    return 2;
                case ArgResult::kUnknown:
                    std::cerr << "tactra-replay: unknown option '" << arg << "'\n" << kUsage;
                    return 2;
            }
        }
        if (!tracePath.empty()) {
            std::cerr << "tactra-replay: more than one trace given\n" << kUsage;
            return 2;
        }
        tracePath = arg;
    }
    if (tracePath.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    if (options.printStates && options.library) {
        std::cerr
            << "tactra-replay: --states shows the gesture engine, which --library leaves out\n"
            << kUsage;
        return 2;
    }
    return tactra::RunReplay(tracePath, options, std::cout, std::cerr);
}
