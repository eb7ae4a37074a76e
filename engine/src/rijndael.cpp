// Rijndael with a 256-bit block over compact tables: the S-boxes are applied by
// byte lookups assembled into column words, and MixColumns runs on all four bytes
// of a column at once with a packed xtime. No combined round tables, no allocation.
#include "tarnel/rijndael.h"

#include <bit>

namespace tarnel {
namespace {

#define TARNEL_INLINE inline __attribute__((always_inline))

TARNEL_INLINE uint32_t load_column(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

TARNEL_INLINE void store_column(uint8_t* p, uint32_t w) {
    p[0] = uint8_t(w);
    p[1] = uint8_t(w >> 8);
    p[2] = uint8_t(w >> 16);
    p[3] = uint8_t(w >> 24);
}

// Doubles each of the four bytes of a column in GF(2^8).
TARNEL_INLINE uint32_t xtime(uint32_t x) {
    return ((x & 0x7f7f7f7fu) << 1) ^ (((x >> 7) & 0x01010101u) * 0x1bu);
}

// Row r of r8(y) is row r + 1 of y.
TARNEL_INLINE uint32_t r8(uint32_t y) { return std::rotr(y, 8); }
TARNEL_INLINE uint32_t r16(uint32_t y) { return std::rotr(y, 16); }
TARNEL_INLINE uint32_t r24(uint32_t y) { return std::rotr(y, 24); }

TARNEL_INLINE uint32_t mix_column(uint32_t x) {
    const uint32_t f2 = xtime(x);
    return f2 ^ r8(x ^ f2) ^ r16(x) ^ r24(x);
}

TARNEL_INLINE uint32_t inv_mix_column(uint32_t x) {
    const uint32_t f2 = xtime(x);
    const uint32_t f4 = xtime(f2);
    const uint32_t f8 = xtime(f4);
    const uint32_t f9 = x ^ f8;
    return f2 ^ f4 ^ f8 ^ r8(f2 ^ f9) ^ r16(f4 ^ f9) ^ r24(f9);
}

// Substitutes row 0 of a, row 1 of b, row 2 of c and row 3 of d through `box`
// and assembles them into one column: ShiftRows and SubBytes for one column.
TARNEL_INLINE uint32_t gather(const uint8_t* box, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return uint32_t(box[a & 0xff]) | uint32_t(box[(b >> 8) & 0xff]) << 8 |
           uint32_t(box[(c >> 16) & 0xff]) << 16 | uint32_t(box[d >> 24]) << 24;
}

TARNEL_INLINE uint32_t sub_word(uint32_t w) {
    return gather(rijndael_sbox, w, w, w, w);
}

// Row offsets of an eight-column state are 0, 1, 3 and 4: output column c takes
// its rows from columns c, c + 1, c + 3 and c + 4 (c, c - 1, c - 3, c - 4 to undo).
#define TARNEL_ENC_COLUMNS(OP, s, t)                   \
    t[0] = OP(gather(box, s[0], s[1], s[3], s[4])); \
    t[1] = OP(gather(box, s[1], s[2], s[4], s[5])); \
    t[2] = OP(gather(box, s[2], s[3], s[5], s[6])); \
    t[3] = OP(gather(box, s[3], s[4], s[6], s[7])); \
    t[4] = OP(gather(box, s[4], s[5], s[7], s[0])); \
    t[5] = OP(gather(box, s[5], s[6], s[0], s[1])); \
    t[6] = OP(gather(box, s[6], s[7], s[1], s[2])); \
    t[7] = OP(gather(box, s[7], s[0], s[2], s[3]))

#define TARNEL_DEC_COLUMNS(OP, s, t)                   \
    t[0] = OP(gather(box, s[0], s[7], s[5], s[4]), 0); \
    t[1] = OP(gather(box, s[1], s[0], s[6], s[5]), 1); \
    t[2] = OP(gather(box, s[2], s[1], s[7], s[6]), 2); \
    t[3] = OP(gather(box, s[3], s[2], s[0], s[7]), 3); \
    t[4] = OP(gather(box, s[4], s[3], s[1], s[0]), 4); \
    t[5] = OP(gather(box, s[5], s[4], s[2], s[1]), 5); \
    t[6] = OP(gather(box, s[6], s[5], s[3], s[2]), 6); \
    t[7] = OP(gather(box, s[7], s[6], s[4], s[3]), 7)

TARNEL_INLINE void load_state(uint32_t s[8], const uint8_t* src, const uint32_t* round_key) {
    for (int c = 0; c < 8; ++c) s[c] = load_column(src + 4 * c) ^ round_key[c];
}

TARNEL_INLINE void store_state(uint8_t* dst, const uint32_t s[8], const uint32_t* round_key) {
    for (int c = 0; c < 8; ++c) store_column(dst + 4 * c, s[c] ^ round_key[c]);
}

// Key expansion, one straight path per key length: each step makes Nk words.
void expand_key_128(uint32_t* w) {
    const uint32_t* rcon = rijndael_rcon;
    for (uint32_t* end = w + 120 - 4; w != end; w += 4) {
        w[4] = w[0] ^ sub_word(r8(w[3])) ^ *rcon++;
        w[5] = w[1] ^ w[4];
        w[6] = w[2] ^ w[5];
        w[7] = w[3] ^ w[6];
    }
}

void expand_key_192(uint32_t* w) {
    const uint32_t* rcon = rijndael_rcon;
    for (uint32_t* end = w + 120 - 6; w != end; w += 6) {
        w[6] = w[0] ^ sub_word(r8(w[5])) ^ *rcon++;
        w[7] = w[1] ^ w[6];
        w[8] = w[2] ^ w[7];
        w[9] = w[3] ^ w[8];
        w[10] = w[4] ^ w[9];
        w[11] = w[5] ^ w[10];
    }
}

void expand_key_256(uint32_t* w) {
    const uint32_t* rcon = rijndael_rcon;
    for (uint32_t* end = w + 120 - 8; w != end; w += 8) {
        w[8] = w[0] ^ sub_word(r8(w[7])) ^ *rcon++;
        w[9] = w[1] ^ w[8];
        w[10] = w[2] ^ w[9];
        w[11] = w[3] ^ w[10];
        w[12] = w[4] ^ sub_word(w[11]);
        w[13] = w[5] ^ w[12];
        w[14] = w[6] ^ w[13];
        w[15] = w[7] ^ w[14];
    }
}

}  // namespace

int16_t rijndael_set_key(const uint8_t* key, uint32_t key_length, unsigned direction,
                         RijndaelContext* ctx) {
    if (ctx == nullptr) return 0;
    const unsigned want = direction & (RIJNDAEL_ENCRYPT | RIJNDAEL_DECRYPT);
    // A zero length is refused like any other unusable one.
    const bool length_ok = key_length % 8 == 0 && key_length >= 16 && key_length <= 32;
    if (!length_ok || want == 0 || key == nullptr) {
        ctx->flags &= uint8_t(~(RIJNDAEL_ENCRYPT | RIJNDAEL_DECRYPT));
        return 0;
    }
    ctx->flags = uint8_t((ctx->flags & ~(RIJNDAEL_ENCRYPT | RIJNDAEL_DECRYPT)) | want);

    const uint32_t nk = key_length / 4;
    ctx->key_words = nk;
    ctx->rounds = (nk > 8 ? nk : 8) + 6;

    uint32_t* w = ctx->enc_schedule;
    for (uint32_t i = 0; i < nk; ++i) w[i] = load_column(key + 4 * i);
    switch (nk) {
        case 4: expand_key_128(w); break;
        case 6: expand_key_192(w); break;
        default: expand_key_256(w); break;
    }

    if (want == RIJNDAEL_ENCRYPT) return 1;
    const uint32_t nr = ctx->rounds;
    for (uint32_t r = 0; r <= nr; ++r) {
        for (uint32_t c = 0; c < 8; ++c) ctx->dec_schedule[8 * r + c] = w[8 * (nr - r) + c];
    }
    return 1;
}

int16_t rijndael_encrypt_block(const uint8_t* src, uint8_t* dst, const RijndaelContext* ctx) {
    if ((ctx->flags & RIJNDAEL_ENCRYPT) == 0) return 0;
    const uint8_t* box = rijndael_sbox;
    const uint32_t* rk = ctx->enc_schedule;
    uint32_t s[8], t[8];
    load_state(s, src, rk);
    for (uint32_t r = 1; r < ctx->rounds; ++r) {
        rk += 8;
#define TARNEL_MIX(x) mix_column(x)
        TARNEL_ENC_COLUMNS(TARNEL_MIX, s, t);
#undef TARNEL_MIX
        for (int c = 0; c < 8; ++c) s[c] = t[c] ^ rk[c];
    }
#define TARNEL_PLAIN(x) (x)
    TARNEL_ENC_COLUMNS(TARNEL_PLAIN, s, t);
#undef TARNEL_PLAIN
    store_state(dst, t, rk + 8);
    return 1;
}

int16_t rijndael_decrypt_block(const uint8_t* src, uint8_t* dst, const RijndaelContext* ctx) {
    if ((ctx->flags & RIJNDAEL_DECRYPT) == 0) return 0;
    const uint8_t* box = rijndael_inv_sbox;
    const uint32_t* rk = ctx->dec_schedule;
    uint32_t s[8], t[8];
    load_state(s, src, rk);
    for (uint32_t r = 1; r < ctx->rounds; ++r) {
        rk += 8;
#define TARNEL_KEY_MIX(x, c) inv_mix_column((x) ^ rk[c])
        TARNEL_DEC_COLUMNS(TARNEL_KEY_MIX, s, t);
#undef TARNEL_KEY_MIX
        for (int c = 0; c < 8; ++c) s[c] = t[c];
    }
#define TARNEL_PLAIN(x, c) (x)
    TARNEL_DEC_COLUMNS(TARNEL_PLAIN, s, t);
#undef TARNEL_PLAIN
    store_state(dst, t, rk + 8);
    return 1;
}

}  // namespace tarnel
