#include "export/temp_registry.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

namespace lv::exporter {
namespace {

// Slots live in chunks made on demand, so the table costs little until a command stages many
// files (a film's frame series) and never moves while a handler reads it.
constexpr int kChunkSize = 1024;
constexpr int kChunks = 64;

struct Chunk {
    std::atomic<char*> slots[kChunkSize];
};

std::atomic<Chunk*> chunks[kChunks];

Chunk* chunkAt(int c) {
    Chunk* chunk = chunks[c].load();
    if (chunk != nullptr) return chunk;
    Chunk* fresh = new (std::nothrow) Chunk;
    if (fresh == nullptr) return nullptr;
    for (auto& s : fresh->slots) s.store(nullptr);
    if (chunks[c].compare_exchange_strong(chunk, fresh)) return fresh;
    delete fresh; // another thread made it first
    return chunk;
}

// Frees the chunks at exit so leak checkers see a clean process.
struct ChunkReleaser {
    ~ChunkReleaser() {
        for (auto& c : chunks) {
            Chunk* chunk = c.exchange(nullptr);
            if (chunk == nullptr) continue;
            for (auto& s : chunk->slots) delete[] s.exchange(nullptr);
            delete chunk;
        }
    }
} releaser;

// Child process groups being waited for: their leaders' process ids, 0 for a free slot.
constexpr int kChildSlots = 16;
std::atomic<int> childGroups[kChildSlots];
static_assert(std::atomic<int>::is_always_lock_free, "read from signal handlers");

} // namespace

int registerChildGroup(int leader) {
    if (leader <= 0) return -1;
    for (int i = 0; i < kChildSlots; ++i) {
        int expected = 0;
        if (childGroups[i].compare_exchange_strong(expected, leader)) return i;
    }
    return -1;
}

void forgetChildGroup(int handle) {
    if (handle >= 0 && handle < kChildSlots) childGroups[handle].store(0);
}

void stopRegisteredChildGroups() {
    for (auto& slot : childGroups) {
        const int leader = slot.exchange(0);
        if (leader <= 0) continue;
        ::kill(-leader, SIGKILL);
        while (::waitpid(leader, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

int registerTemporary(const std::string& path) {
    char* copy = new (std::nothrow) char[path.size() + 1];
    if (copy == nullptr) return -1;
    std::memcpy(copy, path.c_str(), path.size() + 1);
    for (int c = 0; c < kChunks; ++c) {
        Chunk* chunk = chunkAt(c);
        if (chunk == nullptr) break;
        for (int i = 0; i < kChunkSize; ++i) {
            char* expected = nullptr;
            if (chunk->slots[i].compare_exchange_strong(expected, copy)) return c * kChunkSize + i;
        }
    }
    delete[] copy;
    return -1;
}

void forgetTemporary(int handle) {
    if (handle < 0 || handle >= kChunks * kChunkSize) return;
    Chunk* chunk = chunks[handle / kChunkSize].load();
    if (chunk != nullptr) delete[] chunk->slots[handle % kChunkSize].exchange(nullptr);
}

void removeRegisteredTemporaries() {
    stopRegisteredChildGroups();
    // A second sweep removes the registered folders whose files the first one removed.
    for (int sweep = 0; sweep < 2; ++sweep)
        for (auto& c : chunks) {
            Chunk* chunk = c.load();
            if (chunk == nullptr) continue;
            for (auto& s : chunk->slots)
                if (const char* path = s.load())
                    if (::unlink(path) != 0) ::rmdir(path);
        }
}

int registeredTemporaryCount() {
    int count = 0;
    for (auto& c : chunks)
        if (Chunk* chunk = c.load())
            for (auto& s : chunk->slots) count += s.load() != nullptr;
    return count;
}

} // namespace lv::exporter
