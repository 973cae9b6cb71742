// The tools' choice of evaluation: --learned (the embedded network), --evalfile PATH (a network
// file, implies --learned) and --simd plain|sse2|avx2|neon (forces the network's kernels); and
// of search: --search specified|network, by default the one that goes with the evaluation, as
// in the engine.
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "eval/eval.h"
#include "search/policy.h"

struct EvaluationChoice {
    bool learned = false;
    const char* evalFile = nullptr;
    const char* simd = nullptr;
    const char* search = nullptr;
};

// Takes argv[i] (and its value) when it is one of the flags above; false otherwise.
inline bool takeEvaluationFlag(int argc, char** argv, int& i, EvaluationChoice& choice) {
    if (std::strcmp(argv[i], "--learned") == 0) {
        choice.learned = true;
    } else if (std::strcmp(argv[i], "--evalfile") == 0 && i + 1 < argc) {
        choice.learned = true;
        choice.evalFile = argv[++i];
    } else if (std::strcmp(argv[i], "--simd") == 0 && i + 1 < argc) {
        choice.simd = argv[++i];
    } else if (std::strcmp(argv[i], "--search") == 0 && i + 1 < argc) {
        choice.search = argv[++i];
    } else {
        return false;
    }
    return true;
}

// Installs and enables what was chosen, after initEngine(); false, with a message on standard
// error, when the file or the path cannot be used.
inline bool applyEvaluationChoice(const EvaluationChoice& choice) {
    if (choice.simd) {
        SimdPath path;
        if (!parseSimdPath(choice.simd, path)) {
            std::fprintf(stderr, "unknown SIMD path '%s' (plain, sse2, avx2, neon)\n", choice.simd);
            return false;
        }
        if (!forceSimdPath(path)) {
            std::fprintf(stderr, "this CPU or build has no %s path\n", choice.simd);
            return false;
        }
    }
    if (choice.evalFile) {
        auto net = std::make_unique<Network>();
        char reason[256];
        if (!loadNetworkFile(choice.evalFile, *net, reason, sizeof reason)) {
            std::fprintf(stderr, "cannot load network %s: %s\n", choice.evalFile, reason);
            return false;
        }
        installNetwork(*net);
    }
    if (choice.learned && !enableNetwork(true)) {
        std::fprintf(stderr, "no valid network to enable\n");
        return false;
    }
    ActiveSearch = NetworkEnabled ? SearchKind::Network : SearchKind::Specified;
    if (choice.search) {
        if (std::strcmp(choice.search, "specified") == 0) {
            ActiveSearch = SearchKind::Specified;
        } else if (std::strcmp(choice.search, "network") == 0) {
            ActiveSearch = SearchKind::Network;
        } else {
            std::fprintf(stderr, "unknown search '%s' (specified, network)\n", choice.search);
            return false;
        }
    }
    return true;
}

// "network networks/x.nnue, SIMD avx2", "network (embedded), SIMD sse2" or "hand-written",
// followed by the search when it is not the one that goes with the evaluation.
inline std::string describeEvaluation(const EvaluationChoice& choice) {
    const bool usual = (ActiveSearch == SearchKind::Network) == NetworkEnabled;
    const std::string search = usual                                 ? ""
                               : ActiveSearch == SearchKind::Network ? ", network search"
                                                                     : ", specified search";
    if (!NetworkEnabled) return "hand-written" + search;
    return std::string("network ") + (choice.evalFile ? choice.evalFile : "(embedded)") +
           ", SIMD " + simdPathName(currentSimdPath()) + search;
}
