// A buffer between two inaccessible pages: an access past the end flush against one faults at once,
// and the bytes between the payload and the guards are checked for writes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::test {

enum class Flush { Front, Back };

struct Placement {
    Flush flush;
    size_t gap; // bytes between the payload and the guard it is flush against (0: truly flush)
};

class GuardedBuffer {
public:
    // room: the largest gap a later place() asks for.
    GuardedBuffer(size_t size, Placement placement, size_t room = 0);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    uint8_t* data() { return payload_; }
    const uint8_t* data() const { return payload_; }
    size_t size() const { return size_; }

    void place(Placement placement); // moves the payload; writable, the surroundings written anew
    void makeReadOnly();             // a source run must not be written
    bool surroundingsIntact() const; // the bytes around the payload hold what the constructor wrote

private:
    uint8_t* base_ = nullptr; // first accessible byte
    size_t accessible_ = 0;   // accessible bytes between the guards
    size_t page_ = 0;
    uint8_t* payload_ = nullptr;
    size_t size_ = 0;
};

} // namespace vyr::test
