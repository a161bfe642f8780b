// tactra-replay: replays a panel trace through the same code as Tactra and prints
// what the system would do.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "device/trace.h"
#include "tools/replay/library_session.h"
#include "tools/replay/replay_session.h"

namespace {

const char kUsage[] =
    "usage: tactra-replay [--batches] [--library] [--dir DIR] TRACE\n"
    "  --batches   also print every batch delivered to the gesture engine\n"
    "  --library   run the trace through tpinput's report processing instead\n"
    "  --dir DIR   working directory for the profile and calibration files\n";

}  // namespace

int main(int argc, char** argv) {
    tactra::ReplayOptions options;
    std::string tracePath;
    bool library = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--batches") {
            options.printBatches = true;
        } else if (arg == "--library") {
            library = true;
        } else if (arg == "--dir" && i + 1 < argc) {
            options.workDir = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::cerr << "tactra-replay: unknown option '" << arg << "'\n" << kUsage;
            return 2;
        } else if (tracePath.empty()) {
            tracePath = arg;
        } else {
            std::cerr << "tactra-replay: more than one trace given\n" << kUsage;
            return 2;
        }
    }
    if (tracePath.empty()) {
        std::cerr << kUsage;
        return 2;
    }

    std::vector<tactra::TraceStep> steps;
    tactra::TraceError error;
    tactra::TraceOptions traceOptions;
    traceOptions.library = library;
    if (!tactra::LoadTraceFile(tracePath, traceOptions, steps, error)) {
        std::cerr << "tactra-replay: " << tracePath << ":" << error.line << ": " << error.reason
                  << "\n";
        return 2;
    }
    if (library) {
        tactra::LibraryReplayOptions libraryOptions;
        libraryOptions.workDir = options.workDir;
        tactra::LibrarySession session(libraryOptions, std::cout);
        session.Run(steps);
        return 0;
    }
    tactra::ReplaySession session(options, std::cout);
    session.Run(steps);
    return 0;
}
