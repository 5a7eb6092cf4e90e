#pragma once

// One entry of a batch run, from its path to its outcome: classified by its first bytes, then copied as it
// is or converted. How entries are shared out among workers, ordered and reported is batch_run.cpp's.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch_run.h"
#include "file_io.h"
#include "image_model.h"

namespace batch {

// The mirrored path of an entry, NAME.png written as NAME.bmp when PNG files are part of the run; nullopt
// when the entry does not lie below the source folder.
std::optional<std::string> entryTarget(const Plan& plan, const std::string& entry);

// What a worker keeps from entry to entry: its own image and the memory its files are read into; and what
// all workers share: the gate every replacement of a target passes, whose flag is the cancel flag.
struct EntryWorkspace {
    imaging::ImageModel model;
    std::vector<std::uint8_t> file;
    tarvik::ReplaceGate* gate = nullptr;

    bool cancelled() const { return gate->stop->load(); }
    // Gives back what a large file took, so that no worker sits on it while the others wait for room.
    void trim();
};

// The memory an entry holds while it is under way: its bytes, and for a bitmap read whole its pixel
// records too (8 bytes for each pixel of 3 or 4 bytes) and the RL file made of them.
std::uint64_t entryCost(const Plan& plan, const std::string& entry);

// Nothing when a cancel came before the entry began to replace its target: the work is abandoned, its
// temporary file removed, and it is reported as never started. Never throws: an exception becomes the
// entry's failure.
std::optional<EntryResult> processEntry(const Plan& plan, std::size_t index, EntryWorkspace& workspace);

}  // namespace batch
