#include "batch_run.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "batch_entry.h"
#include "file_io.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

constexpr unsigned MaxJobs = 64;
constexpr std::size_t NoEntry = static_cast<std::size_t>(-1);

// The memory all workers may hold together, shared out before each entry starts: an entry waits until its
// share fits beside those under way, and one larger than the whole budget runs when it has it all. So the
// run's peak does not grow with the number of workers.
class MemoryBudget {
public:
    explicit MemoryBudget(std::uint64_t capacity) : m_capacity(std::max<std::uint64_t>(capacity, 1)) {}

    class Lease {
    public:
        Lease(MemoryBudget& budget, std::uint64_t bytes) : m_budget(budget), m_bytes(budget.take(bytes)) {}
        ~Lease() { m_budget.give(m_bytes); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

    private:
        MemoryBudget& m_budget;
        std::uint64_t m_bytes;
    };

private:
    std::uint64_t take(std::uint64_t bytes) {
        bytes = std::min(bytes, m_capacity);
        std::unique_lock lock(m_mutex);
        m_freed.wait(lock, [&] { return m_used + bytes <= m_capacity; });
        m_used += bytes;
        return bytes;
    }

    void give(std::uint64_t bytes) {
        {
            std::lock_guard lock(m_mutex);
            m_used -= bytes;
        }
        m_freed.notify_all();
    }

    std::uint64_t m_capacity;
    std::uint64_t m_used = 0;
    std::mutex m_mutex;
    std::condition_variable m_freed;
};

// A worker's memory for its entries, and its share of the run's: an entry starts once its memory fits.
struct Worker {
    Worker(tarvik::ReplaceGate& gate, MemoryBudget& budget) : budget(budget) { workspace.gate = &gate; }
    EntryWorkspace workspace;
    MemoryBudget& budget;
};

std::optional<EntryResult> processEntryInBudget(const Plan& plan, std::size_t index, Worker& worker) {
    MemoryBudget::Lease lease(worker.budget, entryCost(plan, plan.entries[index]));
    return processEntry(plan, index, worker.workspace);
}

unsigned workerCount(unsigned requested, std::size_t entries) {
    unsigned jobs = requested;
    if (jobs == 0) {
        jobs = std::max(1u, std::thread::hardware_concurrency());
    }
    jobs = std::min(jobs, MaxJobs);
    return static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(entries, 1)));
}

// Paths as the files they reach, so that two spellings of one file are never worked on at once: the
// folder part resolved (a backup folder named through a link to the source folder, "..", "."), and, for an
// entry that is itself a link to a file, also the file it names.
class PathKeys {
public:
    std::string of(const std::string& text) {
        const fs::path path(text);
        auto [it, inserted] = m_folders.try_emplace(path.parent_path().string());
        if (inserted) {
            std::error_code ec;
            fs::path folder = fs::weakly_canonical(fs::absolute(path.parent_path(), ec), ec);
            it->second = ec ? fs::absolute(path.parent_path(), ec).lexically_normal() : folder;
        }
        return (it->second / path.filename()).string();
    }

    // The file a link names, or "" when `text` is no link.
    std::string linked(const std::string& text) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(text, ec))) {
            return {};
        }
        fs::path resolved = fs::weakly_canonical(text, ec);
        return ec ? std::string() : resolved.string();
    }

private:
    std::unordered_map<std::string, fs::path> m_folders;
};

constexpr std::size_t KeysPerEntry = 3;  // the entry, its target, the file the entry links to

// For each entry, the earlier entries it must wait for: those touching a path it touches. Only the latest
// earlier toucher of each path is needed, as those are ordered themselves.
std::vector<std::array<std::size_t, KeysPerEntry>> orderingConstraints(const Plan& plan) {
    PathKeys paths;
    std::vector<std::array<std::size_t, KeysPerEntry>> waits(plan.entries.size());
    std::unordered_map<std::string, std::size_t> lastToucher;
    lastToucher.reserve(plan.entries.size() * 2);
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        waits[i].fill(NoEntry);
        const std::string& entry = plan.entries[i];
        std::optional<std::string> target = entryTarget(plan, entry);
        const std::string keys[KeysPerEntry] = {paths.of(entry), target ? paths.of(*target) : std::string(),
                                                paths.linked(entry)};
        for (std::size_t k = 0; k < KeysPerEntry; ++k) {
            if (keys[k].empty()) {
                continue;
            }
            auto [it, inserted] = lastToucher.try_emplace(keys[k], i);
            if (!inserted && it->second != i) {
                waits[i][k] = it->second;
                it->second = i;
            }
        }
    }
    return waits;
}

class SummaryKeeper {
public:
    SummaryKeeper(RunObserver& observer, std::size_t count) : m_observer(observer) {
        m_summary.count = count;
    }

    void report(const EntryResult& result) {
        switch (result.outcome) {
            case Outcome::Converted:
                ++(result.fitted ? m_summary.fitted : m_summary.converted);
                break;
            case Outcome::Copied:
                ++m_summary.copied;
                break;
            case Outcome::Skipped:
                ++m_summary.skipped;
                break;
            case Outcome::Failed:
                ++m_summary.failed;
                break;
        }
        ++m_summary.byReason[static_cast<std::size_t>(result.reason)];
        ++m_summary.processed;
        m_observer.onEntry(result, Progress{result.index + 1, m_summary.count});
    }

    // Not an entry of the list: the position stays where it is.
    void reportUnlisted(const UnlistedFolder& folder) {
        EntryResult result;
        result.entry = folder.folder;
        result.outcome = Outcome::Failed;
        result.reason = Reason::FolderUnlisted;
        result.detail = folder.reason;
        ++m_summary.failed;
        ++m_summary.byReason[static_cast<std::size_t>(result.reason)];
        m_observer.onEntry(result, Progress{0, m_summary.count});
    }

    Summary finish() {
        m_summary.cancelled = m_summary.processed < m_summary.count;
        return m_summary;
    }

private:
    RunObserver& m_observer;
    Summary m_summary;
};

Summary runOnCallingThread(const Plan& plan, SummaryKeeper& keeper, tarvik::ReplaceGate& gate) {
    MemoryBudget budget(plan.memoryBudget);
    Worker worker(gate, budget);
    for (std::size_t i = 0; i < plan.entries.size() && !worker.workspace.cancelled(); ++i) {
        if (std::optional<EntryResult> result = processEntryInBudget(plan, i, worker)) {
            keeper.report(*result);
        }
    }
    return keeper.finish();
}

// The calling thread converts entries too and, between two of its own, reports every entry finished so far
// in list order: the other workers need not wake it for each entry, which on a machine with few cores
// costs more than the entries themselves when they are small.
Summary runOnWorkers(const Plan& plan, unsigned jobs, SummaryKeeper& keeper, tarvik::ReplaceGate& gate) {
    MemoryBudget budget(plan.memoryBudget);
    const std::atomic<bool>& cancel = *gate.stop;
    const std::size_t count = plan.entries.size();
    const std::vector<std::array<std::size_t, KeysPerEntry>> waits = orderingConstraints(plan);

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<EntryResult>> finished(count);
    std::vector<char> done(count, 0);
    std::size_t nextClaim = 0;
    unsigned running = 0;  // other workers still claiming entries

    // The next entry, once the earlier entries it depends on are done; NoEntry when the list is done or the
    // run is cancelled.
    auto claim = [&]() -> std::size_t {
        if (cancel.load()) {
            return NoEntry;
        }
        std::unique_lock lock(mutex);
        if (nextClaim >= count) {
            return NoEntry;
        }
        const std::size_t index = nextClaim++;
        // Earlier entries are all claimed already and always finish, so this cannot deadlock.
        changed.wait(lock, [&] {
            return std::all_of(waits[index].begin(), waits[index].end(),
                               [&](std::size_t w) { return w == NoEntry || done[w]; });
        });
        return index;
    };
    auto process = [&](std::size_t index, Worker& worker) {
        std::optional<EntryResult> result = processEntryInBudget(plan, index, worker);
        {
            std::lock_guard lock(mutex);
            finished[index] = std::move(result);
            done[index] = 1;
        }
        changed.notify_all();  // no system call while nobody waits
    };
    auto work = [&] {
        Worker worker(gate, budget);
        for (std::size_t index = claim(); index != NoEntry; index = claim()) {
            process(index, worker);
        }
        {
            std::lock_guard lock(mutex);
            --running;
        }
        changed.notify_all();
    };

    std::vector<std::thread> threads;
    threads.reserve(jobs - 1);
    for (unsigned j = 1; j < jobs; ++j) {
        {
            std::lock_guard lock(mutex);
            ++running;
        }
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            std::lock_guard lock(mutex);
            --running;
            break;  // fewer workers; the calling thread still gets through the list
        }
    }

    // Reports the finished entries at the head of the list; at the end, waits for the other workers too.
    // Claimed entries form a prefix of the list and all finish, so once no worker claims any more, the
    // reports stop at the first entry that is neither finished nor going to be.
    std::size_t nextReport = 0;
    auto reportFinished = [&](bool untilWorkersStop) {
        for (;;) {
            std::unique_lock lock(mutex);
            // An abandoned entry is done without a result: it is passed over, as if never started.
            const auto headFinished = [&] { return nextReport < count && done[nextReport]; };
            if (untilWorkersStop) {
                changed.wait(lock, [&] { return headFinished() || running == 0; });
            }
            if (!headFinished()) {
                return;
            }
            std::optional<EntryResult> result = std::move(finished[nextReport]);
            finished[nextReport].reset();
            lock.unlock();
            if (result) {
                keeper.report(*result);
            }
            ++nextReport;
        }
    };

    Worker worker(gate, budget);
    for (std::size_t index = claim(); index != NoEntry; index = claim()) {
        process(index, worker);
        reportFinished(false);
    }
    reportFinished(true);
    for (std::thread& thread : threads) {
        thread.join();
    }
    return keeper.finish();
}

}  // namespace

Summary run(const Plan& plan, RunObserver& observer, const std::atomic<bool>& CancelRequested) {
    SummaryKeeper keeper(observer, plan.entries.size());
    for (const UnlistedFolder& folder : plan.unlistedFolders) {
        keeper.reportUnlisted(folder);
    }
    tarvik::ReplaceGate gate;
    gate.stop = &CancelRequested;
    unsigned jobs = workerCount(plan.jobs, plan.entries.size());
    if (jobs <= 1) {
        return runOnCallingThread(plan, keeper, gate);
    }
    return runOnWorkers(plan, jobs, keeper, gate);
}

std::string_view outcomeText(Outcome outcome) {
    switch (outcome) {
        case Outcome::Converted:
            return "converted";
        case Outcome::Copied:
            return "copied";
        case Outcome::Skipped:
            return "skipped";
        case Outcome::Failed:
            return "failed";
    }
    return "?";
}

std::string_view reasonText(Reason reason) {
    switch (reason) {
        case Reason::None:
            return "";
        case Reason::Vanished:
            return "vanished";
        case Reason::UnknownType:
            return "unknown type";
        case Reason::LoadFailed:
            return "load failed";
        case Reason::TooManyColours:
            return "too many colours";
        case Reason::WriterRefused:
            return "refused by the writer";
        case Reason::CopyOff:
            return "not copied";
        case Reason::ReadFailed:
            return "cannot read";
        case Reason::FolderFailed:
            return "cannot create folder";
        case Reason::WriteFailed:
            return "cannot write";
        case Reason::NotBelowSource:
            return "not below the source folder";
        case Reason::BitmapBeside:
            return "bitmap of the same name beside it";
        case Reason::NoMemory:
            return "not enough memory";
        case Reason::FolderUnlisted:
            return "cannot list the folder";
    }
    return "?";
}

}  // namespace batch
