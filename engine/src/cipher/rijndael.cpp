// SPDX-License-Identifier: MIT
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
TARNEL_INLINE uint32_t r8(uint32_t y) {
    return std::rotr(y, 8);
}
TARNEL_INLINE uint32_t r16(uint32_t y) {
    return std::rotr(y, 16);
}

// 2·a(r) + 3·a(r+1) + a(r+2) + a(r+3) = 2·t(r) + a(r+1) + t(r+2), t(r) = a(r) + a(r+1).
TARNEL_INLINE uint32_t mix_column(uint32_t x) {
    const uint32_t t = x ^ r8(x);
    return xtime(t) ^ r8(x) ^ r16(t);
}

// The inverse matrix is the forward one times the circulant (5, 0, 4, 0):
// row r becomes a(r) + 4·(a(r) + a(r+2)) before the forward mix.
TARNEL_INLINE uint32_t inv_mix_column(uint32_t x) {
    return mix_column(x ^ xtime(xtime(x ^ r16(x))));
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
// The state lives in sixteen named words, not arrays, so that it stays in registers.
#define TARNEL_ENC_ROUND(OP, s, t)                     \
    t##0 = OP(gather(box, s##0, s##1, s##3, s##4), 0); \
    t##1 = OP(gather(box, s##1, s##2, s##4, s##5), 1); \
    t##2 = OP(gather(box, s##2, s##3, s##5, s##6), 2); \
    t##3 = OP(gather(box, s##3, s##4, s##6, s##7), 3); \
    t##4 = OP(gather(box, s##4, s##5, s##7, s##0), 4); \
    t##5 = OP(gather(box, s##5, s##6, s##0, s##1), 5); \
    t##6 = OP(gather(box, s##6, s##7, s##1, s##2), 6); \
    t##7 = OP(gather(box, s##7, s##0, s##2, s##3), 7)

#define TARNEL_DEC_ROUND(OP, s, t)                     \
    t##0 = OP(gather(box, s##0, s##7, s##5, s##4), 0); \
    t##1 = OP(gather(box, s##1, s##0, s##6, s##5), 1); \
    t##2 = OP(gather(box, s##2, s##1, s##7, s##6), 2); \
    t##3 = OP(gather(box, s##3, s##2, s##0, s##7), 3); \
    t##4 = OP(gather(box, s##4, s##3, s##1, s##0), 4); \
    t##5 = OP(gather(box, s##5, s##4, s##2, s##1), 5); \
    t##6 = OP(gather(box, s##6, s##5, s##3, s##2), 6); \
    t##7 = OP(gather(box, s##7, s##6, s##4, s##3), 7)

#define TARNEL_LOAD(s, src, rk)                                                          \
    uint32_t s##0 = load_column(src) ^ rk[0], s##1 = load_column(src + 4) ^ rk[1],       \
             s##2 = load_column(src + 8) ^ rk[2], s##3 = load_column(src + 12) ^ rk[3],  \
             s##4 = load_column(src + 16) ^ rk[4], s##5 = load_column(src + 20) ^ rk[5], \
             s##6 = load_column(src + 24) ^ rk[6], s##7 = load_column(src + 28) ^ rk[7]

#define TARNEL_STORE(dst, s)      \
    store_column(dst, s##0);      \
    store_column(dst + 4, s##1);  \
    store_column(dst + 8, s##2);  \
    store_column(dst + 12, s##3); \
    store_column(dst + 16, s##4); \
    store_column(dst + 20, s##5); \
    store_column(dst + 24, s##6); \
    store_column(dst + 28, s##7)

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
    if (ctx == nullptr)
        return 0;
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
    for (uint32_t i = 0; i < nk; ++i)
        w[i] = load_column(key + 4 * i);
    switch (nk) {
        case 4:
            expand_key_128(w);
            break;
        case 6:
            expand_key_192(w);
            break;
        default:
            expand_key_256(w);
            break;
    }

    if (want == RIJNDAEL_ENCRYPT)
        return 1;
    const uint32_t nr = ctx->rounds;
    for (uint32_t r = 0; r <= nr; ++r) {
        for (uint32_t c = 0; c < 8; ++c)
            ctx->dec_schedule[8 * r + c] = w[8 * (nr - r) + c];
    }
    return 1;
}

int16_t rijndael_encrypt_block(const uint8_t* src, uint8_t* dst, const RijndaelContext* ctx) {
    if ((ctx->flags & RIJNDAEL_ENCRYPT) == 0)
        return 0;
    const uint8_t* box = rijndael_sbox;
    const uint32_t* rk = ctx->enc_schedule;
    TARNEL_LOAD(s, src, rk);
    uint32_t t0, t1, t2, t3, t4, t5, t6, t7;
    for (uint32_t r = 1; r < ctx->rounds; ++r) {
        rk += 8;
#define TARNEL_MIX_KEY(x, c) (mix_column(x) ^ rk[c])
        TARNEL_ENC_ROUND(TARNEL_MIX_KEY, s, t);
#undef TARNEL_MIX_KEY
        s0 = t0, s1 = t1, s2 = t2, s3 = t3, s4 = t4, s5 = t5, s6 = t6, s7 = t7;
    }
    rk += 8;
#define TARNEL_KEY(x, c) ((x) ^ rk[c])
    TARNEL_ENC_ROUND(TARNEL_KEY, s, t);
#undef TARNEL_KEY
    TARNEL_STORE(dst, t);
    return 1;
}

int16_t rijndael_decrypt_block(const uint8_t* src, uint8_t* dst, const RijndaelContext* ctx) {
    if ((ctx->flags & RIJNDAEL_DECRYPT) == 0)
        return 0;
    const uint8_t* box = rijndael_inv_sbox;
    const uint32_t* rk = ctx->dec_schedule;
    TARNEL_LOAD(s, src, rk);
    uint32_t t0, t1, t2, t3, t4, t5, t6, t7;
    for (uint32_t r = 1; r < ctx->rounds; ++r) {
        rk += 8;
#define TARNEL_KEY_MIX(x, c) inv_mix_column((x) ^ rk[c])
        TARNEL_DEC_ROUND(TARNEL_KEY_MIX, s, t);
#undef TARNEL_KEY_MIX
        s0 = t0, s1 = t1, s2 = t2, s3 = t3, s4 = t4, s5 = t5, s6 = t6, s7 = t7;
    }
    rk += 8;
#define TARNEL_KEY(x, c) ((x) ^ rk[c])
    TARNEL_DEC_ROUND(TARNEL_KEY, s, t);
#undef TARNEL_KEY
    TARNEL_STORE(dst, t);
    return 1;
}

}  // namespace tarnel
