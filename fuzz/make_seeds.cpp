// quellbore-fuzz-seeds DIR [DATA]: writes every target's seed corpus to
// DIR/<target>/: the seeds made in code, and with DATA (the built game data)
// the real assets each target reads.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "fuzz/harness.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: quellbore-fuzz-seeds DIR [DATA]\n");
        return 2;
    }
    std::string root = argv[1];
    mkdir(root.c_str(), 0755);
    int count = 0;
    const FuzzTarget* targets = FuzzTargets(&count);
    for (int i = 0; i < count; ++i) {
        std::string dir = root + "/" + targets[i].name;
        mkdir(dir.c_str(), 0755);
        std::vector<FuzzBytes> seeds;
        FuzzSeeds(targets[i].name, &seeds);
        if (argc == 3) FuzzAssetSeeds(targets[i].name, argv[2], &seeds);
        for (size_t k = 0; k < seeds.size(); ++k) {
            std::string path = dir + "/seed" + std::to_string(k);
            FILE* f = std::fopen(path.c_str(), "wb");
            if (!f || std::fwrite(seeds[k].data(), 1, seeds[k].size(), f) != seeds[k].size() || std::fclose(f)) {
                std::fprintf(stderr, "quellbore-fuzz-seeds: cannot write %s\n", path.c_str());
                return 1;
            }
        }
        std::printf("%-12s %zu seeds\n", targets[i].name, seeds.size());
    }
    return 0;
}
