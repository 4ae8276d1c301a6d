#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "values/Result.h"

namespace halvane {

// The bytes of an input file as one pass of a run reads them. Positioned
// reads outside the image give zeros (bformat/ByteReader.h); the image stays
// valid as long as this object lives.
class InputImage {
public:
    virtual ~InputImage() = default;
    virtual std::span<const std::byte> Bytes() const = 0;
    // A hint that the bytes before offset will not be needed soon: an image
    // mapped from a file gives their memory back (a later read of them is
    // served again from the file, unchanged). Does nothing by default.
    virtual void ReleaseBefore(std::int64_t offset) const { (void)offset; }
    // The same for the bytes from offset to end alone, for a pass that goes
    // backwards block by block. Does nothing by default.
    virtual void ReleaseRange(std::int64_t offset, std::int64_t end) const
    {
        (void)offset;
        (void)end;
    }
};

// An image held in memory.
class MemoryImage final : public InputImage {
public:
    explicit MemoryImage(std::vector<std::byte> bytes) : m_bytes(std::move(bytes)) { }
    std::span<const std::byte> Bytes() const override { return m_bytes; }

private:
    std::vector<std::byte> m_bytes;
};

// Bytes held elsewhere, which must outlive the image.
class BorrowedImage final : public InputImage {
public:
    explicit BorrowedImage(std::span<const std::byte> bytes) : m_bytes(bytes) { }
    std::span<const std::byte> Bytes() const override { return m_bytes; }

private:
    std::span<const std::byte> m_bytes;
};

// Where a run opens its impulse response. The disk version is the one users
// get; tests and the fuzzer keep their files in memory.
class InputSource {
public:
    virtual ~InputSource() = default;
    // Opens the file at path and makes its image. The failure says why in a
    // few words ("it does not exist", "it is not a regular file").
    virtual Result<std::unique_ptr<InputImage>> Open(const std::string& path) = 0;
};

// Bytes held elsewhere served under one name, as a file derived from another
// (a band-filtered response) is read by a run of its own. The bytes must
// outlive the source; any other name does not exist.
class NamedBytesInput final : public InputSource {
public:
    NamedBytesInput(std::string name, std::span<const std::byte> bytes) : m_name(std::move(name)), m_bytes(bytes) { }
    Result<std::unique_ptr<InputImage>> Open(const std::string& path) override
    {
        if (path != m_name) return Failure{"it does not exist"};
        return std::unique_ptr<InputImage>(std::make_unique<BorrowedImage>(m_bytes));
    }

private:
    std::string m_name;
    std::span<const std::byte> m_bytes;
};

// The file system. The file is mapped read-only, not copied: a pass touches
// only the pages it reads, and releases those it has passed, so memory stays
// small whatever the file's length. Only a regular file is read (a folder
// cannot be, and a device or a pipe could hand out bytes without end or
// block the opening); it is opened without waiting, so a pipe at the name
// cannot hang the run. A file larger than a RIFF file can be (4 GiB and
// 8 bytes) is refused before it is mapped.
//
// Opening the same file again (the same file system entry, of the same
// length) serves it from the mapping already made: a mapping shows the
// file's current bytes, as a new one would, and the pages the first pass
// read need not be mapped again. The last mapping is kept until the next
// opening of another file, or the end of this object.
class DiskInput final : public InputSource {
public:
    Result<std::unique_ptr<InputImage>> Open(const std::string& path) override;

    struct Mapping;

private:
    std::shared_ptr<const Mapping> m_last;
};

}  // namespace halvane
