// Network files for the tests: a network's bytes as the file format lays them out, random
// networks within the limits, and files on disk.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "eval/network.h"

inline void putU32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Puts the checksum of the body into the header, as a writer of the file does.
inline void sealNetwork(std::vector<unsigned char>& bytes) {
    putU32(bytes, 36, networkChecksum(bytes.data(), bytes.size()));
}

inline std::vector<unsigned char> networkBytes(const Network& net) {
    std::vector<unsigned char> b(NetHeaderBytes);
    const char magic[] = "TOLVONET";
    for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(magic[i]);
    const uint32_t fields[] = {NetFormatVersion, NetInputs, NetHidden,       uint32_t(net.buckets),
                               uint32_t(net.k),  NetQA,     uint32_t(net.qb)};
    for (int i = 0; i < 7; ++i) putU32(b, 8 + 4 * i, fields[i]);
    putU32(b, 40, net.flags);
    auto put16 = [&](const int16_t* v, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            b.push_back(static_cast<unsigned char>(uint16_t(v[i]) & 0xFF));
            b.push_back(static_cast<unsigned char>(uint16_t(v[i]) >> 8));
        }
    };
    put16(&net.w1[0][0], size_t(NetInputs) * NetHidden);
    put16(net.b1, NetHidden);
    put16(&net.w2[0][0], size_t(net.buckets) * 2 * NetHidden);
    for (int k = 0; k < net.buckets; ++k) {
        b.resize(b.size() + 4);
        putU32(b, b.size() - 4, uint32_t(net.b2[k]));
    }
    sealNetwork(b);
    return b;
}

// A network with weights spread over the whole range the limits allow, scaled by `spread`
// (1 reaches the limits), with the output buckets and the flags given.
inline std::unique_ptr<Network> randomNetwork(uint32_t seed, double spread = 1.0, int buckets = 1,
                                              uint32_t flags = 0) {
    auto net = std::make_unique<Network>();
    std::mt19937 rng(seed);
    auto draw = [&](int limit) {
        const int l = int(limit * spread);
        return int16_t(int(rng() % uint32_t(2 * l + 1)) - l);
    };
    for (auto& row : net->w1)
        for (auto& w : row) w = draw(NetFirstLayerLimit);
    for (auto& b : net->b1) b = draw(NetFirstLayerLimit);
    const int outputLimit =
        flags & NetSquaredActivation ? NetSquaredOutputWeightLimit : NetOutputWeightLimit;
    for (int k = 0; k < NetMaxBuckets; ++k) {
        for (auto& w : net->w2[k]) w = k < buckets ? draw(outputLimit) : 0;
        net->b2[k] = k < buckets ? int32_t(rng() % (2u << 20)) - (1 << 20) : 0;
    }
    net->buckets = buckets;
    net->flags = flags;
    net->k = 400;
    net->qb = NetQB;
    return net;
}

// A file in the build tree, written at once; removed with the object. Its name holds the test
// process's, so that two runs of the suites at once never share a file.
struct ScratchFile {
    std::string path;
    explicit ScratchFile(const std::string& name, const std::vector<unsigned char>& bytes = {})
        : path(std::string(TOLVO_BUILD_DIR) + "/" + std::to_string(getpid()) + "-" + name) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f) {
            if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~ScratchFile() { std::remove(path.c_str()); }
};
