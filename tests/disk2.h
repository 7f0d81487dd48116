// A Disk II drive and controller for the tests' 6502, in slot 6: a 140 KB
// DOS-order image turned into the nibbles the head reads (the published
// 16-sector format: address fields of 4-and-4 volume, track, sector and
// checksum; data fields of 342 6-and-2 nibbles and a checksum; sync bytes
// between), a stepper moved by its four phases, the motor, and the read
// latch, which holds each nibble for the few cycles after the last of its
// eight bits (4 microseconds each) came in.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace disk2 {

// DOS 3.3's skew: logical sector l is physical sector Physical[l].
inline constexpr int Physical[16] = {0, 13, 11, 9, 7, 5, 3, 1, 14, 12, 10, 8, 6, 4, 2, 15};

// The 64 disk bytes of 6-and-2 encoding, for the six-bit values 0 to 63.
inline constexpr std::uint8_t Nibbles[64] = {
    0x96, 0x97, 0x9A, 0x9B, 0x9D, 0x9E, 0x9F, 0xA6, 0xA7, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB2, 0xB3,
    0xB4, 0xB5, 0xB6, 0xB7, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xCB, 0xCD, 0xCE, 0xCF, 0xD3,
    0xD6, 0xD7, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE5, 0xE6, 0xE7, 0xE9, 0xEA, 0xEB, 0xEC,
    0xED, 0xEE, 0xEF, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

inline int LogicalOf(int physical) {
    int logical = 0;
    while (Physical[logical] != physical) ++logical;
    return logical;
}

inline void FourAndFour(std::vector<std::uint8_t>& out, std::uint8_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 1 | 0xAA));
    out.push_back(static_cast<std::uint8_t>(v | 0xAA));
}

// One sector's 256 bytes as the 343 nibbles of its data field's body.
inline std::vector<std::uint8_t> SixAndTwo(const std::uint8_t* data) {
    std::array<std::uint8_t, 342> values{};
    for (int k = 0; k < 86; ++k) {
        // The low two bits of bytes k, k + 86 and k + 172, each pair reversed.
        const auto two = [&](int at) {
            if (at >= 256) return 0;
            const int b = data[at];
            return (b & 1) << 1 | (b & 2) >> 1;
        };
        values[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(two(k) | two(k + 86) << 2 | two(k + 172) << 4);
    }
    for (int k = 0; k < 256; ++k) values[static_cast<std::size_t>(86 + k)] = static_cast<std::uint8_t>(data[k] >> 2);
    std::vector<std::uint8_t> out;
    std::uint8_t last = 0;
    for (const std::uint8_t value : values) {
        out.push_back(Nibbles[value ^ last]);
        last = value;
    }
    out.push_back(Nibbles[last]);
    return out;
}

// A track's nibbles, all sixteen physical sectors in order around it.
inline std::vector<std::uint8_t> Track(const std::vector<std::uint8_t>& image, int track, int volume = 254) {
    std::vector<std::uint8_t> out(48, 0xFF);
    for (int p = 0; p < 16; ++p) {
        int logical = 0;
        while (Physical[logical] != p) ++logical;
        for (const std::uint8_t b : {0xD5, 0xAA, 0x96}) out.push_back(b);
        for (const int v : {volume, track, p, volume ^ track ^ p}) FourAndFour(out, static_cast<std::uint8_t>(v));
        for (const std::uint8_t b : {0xDE, 0xAA, 0xEB}) out.push_back(b);
        out.insert(out.end(), 6, 0xFF);
        for (const std::uint8_t b : {0xD5, 0xAA, 0xAD}) out.push_back(b);
        const auto body = SixAndTwo(image.data() + (track * 16 + logical) * 256);
        out.insert(out.end(), body.begin(), body.end());
        for (const std::uint8_t b : {0xDE, 0xAA, 0xEB}) out.push_back(b);
        out.insert(out.end(), 20, 0xFF);
    }
    return out;
}

class Drive {
public:
    explicit Drive(const std::vector<std::uint8_t>& image) {
        for (int t = 0; t < 35; ++t) tracks_[static_cast<std::size_t>(t)] = Track(image, t);
    }
    std::array<std::vector<std::uint8_t>, 35> tracks_;
    int quarterTrack = 0;  // the head, in quarter tracks (a track is four)
    bool motor = false;
    int phases = 0;        // the magnets on, a bit each
    int steps = 0;         // every move of the head, for the tests

    int TrackUnderHead() const { return quarterTrack / 4; }

    // A soft switch of slot 6 ($C0E0-$C0EF) at a cycle; a read's answer.
    std::uint8_t Access(int address, std::uint64_t cycle) {
        const int s = address & 0x0F;
        if (s < 8) {
            const int phase = s >> 1;
            if (s & 1) phases |= 1 << phase;
            else phases &= ~(1 << phase);
            Move();
            return 0;
        }
        if (s == 8) motor = false;
        if (s == 9) motor = true;
        if (s == 0x0C) return Latch(cycle);
        return 0;
    }

private:
    // The head goes toward the magnet on next to it (half a track a phase).
    void Move() {
        const int at = (quarterTrack / 2) & 3;  // the phase the head sits at
        const bool next = phases & (1 << ((at + 1) & 3)), previous = phases & (1 << ((at + 3) & 3));
        if (next && !previous && quarterTrack < 34 * 4) quarterTrack += 2, ++steps;
        if (previous && !next && quarterTrack > 0) quarterTrack -= 2, ++steps;
    }
    // The nibble whose last bit came in within the last few cycles, high
    // bit set; between nibbles the bits of the next one, high bit clear.
    std::uint8_t Latch(std::uint64_t cycle) {
        if (!motor) return 0;
        const std::vector<std::uint8_t>& t = tracks_[static_cast<std::size_t>(TrackUnderHead())];
        const std::uint64_t bitTime = cycle / 4;  // a bit each 4 cycles
        const std::uint64_t nibble = bitTime / 8;
        const std::uint8_t value = t[static_cast<std::size_t>(nibble % t.size())];
        return bitTime % 8 < 2 ? value : static_cast<std::uint8_t>(value >> (8 - bitTime % 8));
    }
};

}  // namespace disk2
