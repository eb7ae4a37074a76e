// SPDX-License-Identifier: MIT
// Sinks that lend room for a large run of output, which several threads then fill
// in place: no byte is copied on its way. The engine's in-memory outputs lend the
// result's own memory; any other sink is wrapped in a BufferingSink, which lends
// a buffer of its own and hands each filled run to write() in one piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "tarnel/text_process.h"
#include "text_opener.h"
#include "text_sealer.h"

namespace tarnel {

class LendingSink : public TextSink {
  public:
    /// Room for the next `size` bytes of output, to be filled in place; nullptr when
    /// none can be had, and the output then goes through write(). The room is usable
    /// as far as ready() has made it: ready(upto), with `upto` growing, on the thread
    /// that asked, before bytes below `upto` are written, and ready(size) before
    /// settle(). A sink that must size its memory first can so do it while other
    /// threads fill what is ready.
    virtual char* room(std::size_t size) noexcept = 0;
    virtual void ready(std::size_t upto) noexcept { (void)upto; }
    /// Drops the last `size` bytes of the room lent, wiping them.
    virtual void give_back(std::size_t size) noexcept = 0;
    /// The room lent is filled: it is output now, before anything else is.
    virtual void settle() noexcept {}
    /// How many bytes are coming in all, before the first: a sink that keeps them
    /// takes the memory for all of them at once.
    virtual void expect(uint64_t total) noexcept { (void)total; }

  protected:
    ~LendingSink() = default;
};

/// Gives `text` a capacity of at least `size`, backed by huge pages where the
/// system offers them; false, with `text` emptied, when memory runs out.
bool reserve_result(std::string& text, uint64_t size) noexcept;

/// Appends to a string, lending room in its capacity: a string reserved for the
/// whole result (expect()) is filled in place, no byte written twice and nothing
/// reallocated; without the room, output is appended.
class StringSink : public LendingSink {
  public:
    explicit StringSink(std::string& text) noexcept : m_text(text) {}
    void write(const char* data, std::size_t size) noexcept override;
    char* room(std::size_t size) noexcept override;
    void ready(std::size_t upto) noexcept override { m_text.resize(m_room_at + upto); }
    void give_back(std::size_t size) noexcept override;
    void expect(uint64_t total) noexcept override;
    bool failed() const noexcept { return m_failed; }

  protected:
    std::string& m_text;
    std::size_t m_room_at = 0;
    bool m_failed = false;
};

/// A result in a string of its own, as ProcessText and CTextCipher give it:
/// reserved whole and filled in place, wiped when it is thrown away.
class StringResult final : public ProcessSink, public StringSink {
  public:
    explicit StringResult(std::string& text) noexcept : StringSink(text) {}
    void write(const char* data, std::size_t size) noexcept override {
        StringSink::write(data, size);
    }
    bool failed() const noexcept override { return StringSink::failed(); }
    bool discardable() const noexcept override { return true; }
    bool discard() noexcept override;
};

/// Lends room from a buffer of its own, at most kMostLent bytes at a time, and
/// hands it to the wrapped sink's write() when settled. Wipes the buffer, which may
/// have held plain text, when the room is given back and when it goes.
class BufferingSink final : public LendingSink {
  public:
    static constexpr std::size_t kMostLent = std::size_t(16) << 20;

    explicit BufferingSink(TextSink& out) noexcept : m_out(out) {}
    ~BufferingSink();
    BufferingSink(const BufferingSink&) = delete;
    BufferingSink& operator=(const BufferingSink&) = delete;

    void write(const char* data, std::size_t size) noexcept override { m_out.write(data, size); }
    char* room(std::size_t size) noexcept override;
    void give_back(std::size_t size) noexcept override;
    void settle() noexcept override;

  private:
    TextSink& m_out;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_lent = 0;
};

/// `sink` itself when it lends room, else `buffering` made around it.
LendingSink& lending(TextSink& sink, std::optional<BufferingSink>& buffering) noexcept;

}  // namespace tarnel
