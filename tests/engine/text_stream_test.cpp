// SPDX-License-Identifier: MIT
// Sealing and opening in pieces give what the whole-text operations give, however
// the text is cut, for genuine, wrapped, damaged and forged bodies, on one thread
// and split across threads.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "body_layout.h"
#include "parallel_runner.h"
#include "text_opener.h"
#include "text_sealer.h"

namespace tarnel {
namespace {

class Collect final : public TextSink {
  public:
    void write(const char* data, std::size_t size) noexcept override { text.append(data, size); }
    std::string text;
};

// Cuts `text` into pieces of random sizes around `typical`.
std::vector<std::string_view> cut(std::string_view text, std::mt19937& rng, std::size_t typical) {
    std::vector<std::string_view> pieces;
    std::uniform_int_distribution<std::size_t> size(0, 2 * typical);
    while (!text.empty()) {
        const std::size_t n = std::min(text.size(), size(rng));
        pieces.push_back(text.substr(0, n));
        text.remove_prefix(n);
    }
    return pieces;
}

TextKey key_of(uint32_t seed) {
    TextKey key{};
    for (auto& w : key.words)
        w = seed = seed * 2654435761u + 1;
    return key;
}

std::string seal_whole(const TextKey& key, std::string_view plain, Envelope envelope) {
    CTextCipher cipher;
    std::string sealed;
    EXPECT_TRUE(cipher.EncryptText(key, plain, sealed, envelope));
    return sealed;
}

struct Opened {
    std::string text;
    OpenSummary summary;
};

Opened open_whole(const TextKey& key, std::string_view body) {
    CTextCipher cipher;
    Opened opened;
    EXPECT_TRUE(cipher.DecryptText(key, body, opened.text, &opened.summary));
    return opened;
}

Opened open_in_pieces(const TextKey& key, std::string_view body, std::mt19937& rng,
                      std::size_t typical, bool unbroken) {
    BodyDamage damage;
    const BodyLayout layout = analyse_body(body, damage);
    Collect sink;
    TextOpener opener;
    EXPECT_TRUE(opener.start(key, layout, sink, unbroken));
    for (const std::string_view piece : cut(body.substr(0, layout.hex_end), rng, typical))
        opener.feed(piece);
    Opened opened;
    opener.finish(opened.summary);
    EXPECT_FALSE(opener.met_white_space());
    if (unbroken) {
        EXPECT_EQ(opener.met_stray_character(), damage.bad_digits);
    }
    opened.text = sink.text;
    return opened;
}

void expect_same(const Opened& got, const Opened& want, const std::string& what) {
    EXPECT_EQ(got.text, want.text) << what;
    EXPECT_EQ(got.summary.blocks, want.summary.blocks) << what;
    EXPECT_EQ(got.summary.looks_genuine, want.summary.looks_genuine) << what;
}

// White space at both ends of a body, which the counting way skips.
std::string spaced_ends(std::string_view body) {
    std::string spaced(1, ' ');
    spaced.append(body);
    spaced += '\t';
    return spaced;
}

class InPieces : public ::testing::Test {
  protected:
    void TearDown() override { reset_parallel_settings(); }
};

TEST_F(InPieces, SealingGivesWhatSealingTheWholeTextGives) {
    std::mt19937 rng(21);
    std::uniform_int_distribution<int> byte(1, 255);
    for (std::size_t length = 0; length <= 300; length += 1 + length / 16) {
        std::string plain(length, ' ');
        for (auto& c : plain)
            c = char(byte(rng));
        for (const Envelope envelope : {Envelope::Omitted, Envelope::Included}) {
            const TextKey key = key_of(uint32_t(length));
            const std::string want = seal_whole(key, plain, envelope);
            ASSERT_EQ(TextSealer::sealed_length(length, envelope), want.size());
            for (const std::size_t typical : {1u, 20u, 40u, 100u}) {
                Collect sink;
                TextSealer sealer;
                ASSERT_TRUE(sealer.start(key, length, envelope, sink));
                for (const std::string_view piece : cut(plain, rng, typical))
                    sealer.feed(piece);
                sealer.finish();
                ASSERT_EQ(sink.text, want) << length << " bytes in pieces of about " << typical;
            }
        }
    }
}

TEST_F(InPieces, ATextTooLongForTheTrailerIsRefusedBeforeAnythingIsWritten) {
    Collect sink;
    TextSealer sealer;
    EXPECT_FALSE(sealer.start(key_of(1), kMaxPlainLength + 1, Envelope::Included, sink));
    EXPECT_TRUE(sink.text.empty());
    EXPECT_TRUE(sealer.start(key_of(1), kMaxPlainLength, Envelope::Included, sink));
    EXPECT_EQ(sink.text, "{{");
}

TEST_F(InPieces, OpeningGivesWhatOpeningTheWholeBodyGives) {
    std::mt19937 rng(22);
    std::uniform_int_distribution<int> byte(1, 255);
    for (std::size_t length = 0; length <= 300; length += 1 + length / 8) {
        std::string plain(length, ' ');
        for (auto& c : plain)
            c = char(byte(rng));
        const TextKey key = key_of(uint32_t(length) + 7);
        const std::string body = seal_whole(key, plain, Envelope::Omitted);
        std::string wrapped;
        for (std::size_t at = 0; at < body.size(); at += 76)
            wrapped += body.substr(at, 76) + "\r\n";
        std::string stray = body;
        stray[stray.size() / 3] = 'Q';
        const std::vector<std::pair<std::string, bool>> bodies = {
            {body, true},
            {stray, true},
            {body.substr(0, body.size() / 2 + 1) + body.substr(body.size() - 10), true},
            {body.substr(0, body.size() - 10) + "0000000000", true},  // asks for every block
            {wrapped, false},
            {spaced_ends(body.substr(0, body.size() - 7)), false},
        };
        for (const auto& [input, unbroken] : bodies) {
            const Opened want = open_whole(key, input);
            for (const std::size_t typical : {1u, 33u, 200u}) {
                expect_same(open_in_pieces(key, input, rng, typical, false), want,
                            "counting, " + std::to_string(length));
                if (unbroken) {
                    expect_same(open_in_pieces(key, input, rng, typical, true), want,
                                "unbroken, " + std::to_string(length));
                }
            }
        }
    }
}

TEST_F(InPieces, LargePiecesOnSeveralThreadsGiveTheSameBytes) {
    std::mt19937 rng(23);
    std::uniform_int_distribution<int> printable('!', '~');
    std::string plain(300000, ' ');
    for (auto& c : plain)
        c = char(printable(rng));
    const TextKey key = key_of(99);
    const std::string body = seal_whole(key, plain, Envelope::Omitted);
    const Opened want = open_whole(key, body);
    ASSERT_EQ(want.text, plain);
    set_parallel_settings({.threshold_blocks = 1, .parts = 3});
    for (const std::size_t typical : {70000u, 200000u}) {
        Collect sink;
        TextSealer sealer;
        ASSERT_TRUE(sealer.start(key, plain.size(), Envelope::Omitted, sink));
        for (const std::string_view piece : cut(plain, rng, typical))
            sealer.feed(piece);
        sealer.finish();
        EXPECT_EQ(sink.text, body) << typical;
        expect_same(open_in_pieces(key, body, rng, typical, true), want, "unbroken, threads");
    }
}

TEST_F(InPieces, UnbrokenOpeningStopsAtWhiteSpace) {
    const TextKey key = key_of(5);
    const std::string body = seal_whole(key, std::string(100, 'x'), Envelope::Omitted);
    for (const std::size_t at : {0u, 1u, 63u, 64u, 191u}) {
        std::string spaced = body;
        spaced.insert(at, 1, '\n');
        BodyDamage damage;
        const BodyLayout layout = analyse_body(spaced, damage);
        Collect sink;
        TextOpener opener;
        ASSERT_TRUE(opener.start(key, layout, sink, true));
        opener.feed(std::string_view(spaced).substr(0, at + 1));
        opener.feed(std::string_view(spaced).substr(at + 1, layout.hex_end - at - 1));
        OpenSummary summary;
        opener.finish(summary);
        EXPECT_TRUE(opener.met_white_space()) << at;
    }
}

TEST_F(InPieces, TheBodysEndAndCountsGiveTheWholeBodysLayout) {
    std::mt19937 rng(24);
    const TextKey key = key_of(3);
    const std::string body = seal_whole(key, std::string(500, 'y'), Envelope::Omitted);
    std::string wrapped;
    for (std::size_t at = 0; at < body.size(); at += 50)
        wrapped += body.substr(at, 50) + " \n";
    for (const std::string& input : {body, wrapped, std::string("12 34"), std::string("x9y")}) {
        BodyDamage want_damage;
        const BodyLayout want = analyse_body(input, want_damage);
        for (std::size_t end_size = std::min<std::size_t>(input.size(), 20);; end_size += 37) {
            end_size = std::min(end_size, input.size());
            // The end is read backwards in pieces of up to seven characters.
            Trailer trailer;
            for (std::size_t from = input.size(); from > input.size() - end_size;) {
                const std::size_t size = std::min<std::size_t>(7, from - (input.size() - end_size));
                from -= size;
                trailer.feed_back(std::string_view(input).substr(from, size), from);
            }
            const std::size_t hex_end = std::size_t(trailer.hex_end());
            ASSERT_EQ(hex_end, want.hex_end);
            HexPartCount count;
            for (const std::string_view piece :
                 cut(std::string_view(input).substr(0, hex_end), rng, 30))
                count += count_hex_part(piece);
            BodyDamage damage;
            const BodyLayout got = analyse_body_end(trailer, count, damage);
            EXPECT_EQ(got.hex_chars, want.hex_chars);
            EXPECT_EQ(got.blocks, want.blocks);
            EXPECT_EQ(got.trailer_blocks, want.trailer_blocks);
            EXPECT_EQ(damage.bad_digits, want_damage.bad_digits);
            EXPECT_EQ(damage.count_mismatch, want_damage.count_mismatch);
            EXPECT_EQ(damage.bad_trailer, want_damage.bad_trailer);
            if (end_size == input.size())
                break;
        }
    }
}

}  // namespace
}  // namespace tarnel
