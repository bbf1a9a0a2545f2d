// The table of files met in a run, against std::map over random inserts, updates and erasures
// crowded onto few home slots, so probe runs wrap and erasures must move entries back; with the
// paths of files with finds, kept folder by folder.
#include "engine/USeenFiles.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <utility>

TEST(SeenFiles, AgreesWithAMapOverRandomChanges) {
    std::mt19937 rng(7);
    engine::TSeenFiles table;
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::pair<std::int64_t, std::string>>
        reference;
    for (int round = 0; round < 200000; ++round) {
        const std::uint64_t inode = rng() % 3000;
        // Devices far apart, as real device numbers are.
        const std::uint64_t device = std::uint64_t{rng() % 2} << 40;
        const platform::TFileId id{device, inode};
        switch (rng() % 4) {
        case 0:
            table.Erase(id);
            reference.erase({device, inode});
            break;
        default: {
            platform::TFileIdentity identity;
            identity.Device = device;
            identity.Inode = inode;
            identity.Size = round;
            // Some with the path they had finds under: folders of a few names to hundreds.
            std::string path;
            if (rng() % 3 == 0) {
                const std::string folder = "/f" + std::string(round / 997 % 200, 'x') + "/";
                const std::string name = "n" + std::to_string(inode);
                table.SetFound(identity, folder, name);
                path = folder + name;
            } else {
                table.Set(identity);
            }
            reference[{device, inode}] = {round, path};
        }
        }
        if (round % 50000 == 49999) {
            table.Clear();
            reference.clear();
        }
        const platform::TFileId probe{std::uint64_t{rng() % 2} << 40, rng() % 3000};
        const auto it = reference.find({probe.Device, probe.Inode});
        const engine::TSeenFiles::TEntry* found = table.Find(probe);
        ASSERT_EQ(found != nullptr, it != reference.end()) << "round " << round;
        if (found != nullptr) {
            ASSERT_TRUE(found->SameState(it->second.first, 0)) << "round " << round;
            ASSERT_EQ(table.FoundPath(*found), it->second.second) << "round " << round;
        }
    }
}
