// SPDX-License-Identifier: MIT
// Sealing and opening a large text every way the engine can: whole in memory, in
// pieces to a sink that takes writes only (the engine lends itself room), in pieces
// to a sink that lends room of its own, and in pieces to one that refuses to lend,
// so that the output goes through write() in order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "body_layout.h"
#include "lending_sink.h"
#include "tarnel/sealed_format.h"
#include "tarnel/text_cipher.h"
#include "text_opener.h"
#include "text_sealer.h"

namespace tarnel::test {

struct Collect final : TextSink {
    std::string text;
    void write(const char* data, std::size_t size) noexcept override { text.append(data, size); }
};

// Lends room filled with a pattern, which must all be overwritten; refuses to
// lend with `refuse`. Output before the room is settled is a fault.
struct Lend final : LendingSink {
    explicit Lend(bool refuse_ = false) : refuse(refuse_) {}
    bool refuse;
    bool out_of_order = false;
    std::string text;
    std::vector<char> room_buffer;
    std::size_t lent = 0;
    void write(const char* data, std::size_t size) noexcept override {
        out_of_order = out_of_order || lent != 0;
        text.append(data, size);
    }
    char* room(std::size_t size) noexcept override {
        out_of_order = out_of_order || lent != 0;
        if (refuse)
            return nullptr;
        room_buffer.assign(size, '\x55');
        lent = size;
        return room_buffer.data();
    }
    void give_back(std::size_t size) noexcept override { lent -= size; }
    void settle() noexcept override {
        text.append(room_buffer.data(), lent);
        lent = 0;
    }
};

enum class Way { InMemory, Pieces, LentPieces, RefusedPieces };

inline const char* name(Way way) {
    const char* names[] = {"in memory", "in pieces", "lent pieces", "refused pieces"};
    return names[int(way)];
}

inline TextKey key_of(uint32_t seed) {
    TextKey key;
    for (uint32_t& word : key.words)
        word = seed = seed * 2654435761u + 12345u;
    return key;
}

/// What a way gives: whole(), or piecewise(sink) with the way's sink.
template <class Whole, class Piecewise>
std::string by_way(Way way, Whole whole, Piecewise piecewise) {
    if (way == Way::InMemory)
        return whole();
    if (way == Way::Pieces) {
        Collect sink;
        piecewise(sink);
        return sink.text;
    }
    Lend sink(way == Way::RefusedPieces);
    piecewise(sink);
    EXPECT_FALSE(sink.out_of_order) << name(way);
    EXPECT_EQ(sink.lent, 0u) << "the room is settled before the sealer or opener ends";
    return sink.text;
}

/// The body of `plain` (no envelope), fed in pieces of `piece` bytes; `sealed`
/// tells whether the seal passed its check.
inline std::string seal(Way way, const TextKey& key, std::string_view plain, std::size_t piece,
                        bool* sealed = nullptr) {
    bool done = false;
    std::string body = by_way(
        way,
        [&] {
            CTextCipher cipher;
            std::string result;
            done = cipher.EncryptText(key, plain, result);
            EXPECT_EQ(done, !cipher.SealCheckFailed());
            return result;
        },
        [&](TextSink& sink) {
            TextSealer sealer;
            EXPECT_TRUE(sealer.start(key, plain.size(), Envelope::Omitted, sink));
            for (std::size_t at = 0; at < plain.size(); at += piece)
                sealer.feed(plain.substr(at, piece));
            done = sealer.finish();
            EXPECT_EQ(done, !sealer.check_failed());
        });
    if (sealed != nullptr)
        *sealed = done;
    else
        EXPECT_TRUE(done) << name(way);
    return body;
}

/// The plain text of an unbroken `body`, fed in pieces of `piece` characters.
inline std::string open(Way way, const TextKey& key, std::string_view body, std::size_t piece) {
    return by_way(
        way,
        [&] {
            CTextCipher cipher;
            std::string plain;
            EXPECT_TRUE(cipher.DecryptText(key, body, plain));
            return plain;
        },
        [&](TextSink& sink) {
            BodyDamage damage;
            const BodyLayout layout = analyse_body(body, damage);
            TextOpener opener;
            EXPECT_TRUE(opener.start(key, layout, sink, true));
            const std::string_view hex = body.substr(0, layout.hex_end);
            for (std::size_t at = 0; at < hex.size(); at += piece)
                opener.feed(hex.substr(at, piece));
            OpenSummary summary;
            opener.finish(summary);
            EXPECT_FALSE(opener.met_white_space());
        });
}

}  // namespace tarnel::test
