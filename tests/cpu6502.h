// A 6502 for the tests: every documented instruction of the NMOS part with
// its cycle count (page crossings and taken branches included), over 64 KiB
// of memory whose soft switches ($C000-$C0FF) go to a handler that is told
// the cycle of each access.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cpu6502 {

class Cpu {
public:
    std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(0x10000, 0);
    std::uint16_t pc = 0;
    std::uint8_t a = 0, x = 0, y = 0, s = 0xFF;
    bool c = false, z = false, i = true, d = false, v = false, n = false;
    std::uint64_t cycles = 0;
    std::string fault;  // an undocumented opcode, or a BRK
    // A soft switch read or written: its address, the value written (or -1
    // for a read), the cycle; a read's answer is what it returns.
    std::function<std::uint8_t(int address, int written, std::uint64_t cycle)> io;
    // Every write to memory, for the tests that watch the screen.
    std::function<void(int address, std::uint8_t value, std::uint64_t cycle)> watch;

    std::uint8_t Read(int at) {
        at &= 0xFFFF;
        if (at >= 0xC000 && at <= 0xC0FF && io) return io(at, -1, cycles);
        return memory[static_cast<std::size_t>(at)];
    }
    void Write(int at, std::uint8_t value) {
        at &= 0xFFFF;
        if (at >= 0xC000 && at <= 0xC0FF && io) {
            io(at, value, cycles);
            return;
        }
        if (watch) watch(at, value, cycles);
        memory[static_cast<std::size_t>(at)] = value;
    }

    // One instruction; false (with fault set) for one it does not know.
    bool Step() {
        const std::uint8_t op = Fetch();
        switch (op) {
        // Loads and stores.
        case 0xA9: a = Set(Imm()); return Took(2);
        case 0xA5: a = Set(Read(Zp())); return Took(3);
        case 0xB5: a = Set(Read(ZpX())); return Took(4);
        case 0xAD: a = Set(Read(Abs())); return Took(4);
        case 0xBD: a = Set(Read(AbsI(x))); return Took(4);
        case 0xB9: a = Set(Read(AbsI(y))); return Took(4);
        case 0xA1: a = Set(Read(IndX())); return Took(6);
        case 0xB1: a = Set(Read(IndY())); return Took(5);
        case 0xA2: x = Set(Imm()); return Took(2);
        case 0xA6: x = Set(Read(Zp())); return Took(3);
        case 0xB6: x = Set(Read(ZpY())); return Took(4);
        case 0xAE: x = Set(Read(Abs())); return Took(4);
        case 0xBE: x = Set(Read(AbsI(y))); return Took(4);
        case 0xA0: y = Set(Imm()); return Took(2);
        case 0xA4: y = Set(Read(Zp())); return Took(3);
        case 0xB4: y = Set(Read(ZpX())); return Took(4);
        case 0xAC: y = Set(Read(Abs())); return Took(4);
        case 0xBC: y = Set(Read(AbsI(x))); return Took(4);
        case 0x85: Write(Zp(), a); return Took(3);
        case 0x95: Write(ZpX(), a); return Took(4);
        case 0x8D: Write(Abs(), a); return Took(4);
        case 0x9D: Write(AbsI(x, false), a); return Took(5);
        case 0x99: Write(AbsI(y, false), a); return Took(5);
        case 0x81: Write(IndX(), a); return Took(6);
        case 0x91: Write(IndY(false), a); return Took(6);
        case 0x86: Write(Zp(), x); return Took(3);
        case 0x96: Write(ZpY(), x); return Took(4);
        case 0x8E: Write(Abs(), x); return Took(4);
        case 0x84: Write(Zp(), y); return Took(3);
        case 0x94: Write(ZpX(), y); return Took(4);
        case 0x8C: Write(Abs(), y); return Took(4);
        // Transfers and the stack.
        case 0xAA: x = Set(a); return Took(2);
        case 0xA8: y = Set(a); return Took(2);
        case 0x8A: a = Set(x); return Took(2);
        case 0x98: a = Set(y); return Took(2);
        case 0xBA: x = Set(s); return Took(2);
        case 0x9A: s = x; return Took(2);
        case 0x48: Push(a); return Took(3);
        case 0x68: a = Set(Pull()); return Took(4);
        case 0x08: Push(Status(true)); return Took(3);
        case 0x28: SetStatus(Pull()); return Took(4);
        // Arithmetic and logic.
        case 0x69: Adc(Imm()); return Took(2);
        case 0x65: Adc(Read(Zp())); return Took(3);
        case 0x75: Adc(Read(ZpX())); return Took(4);
        case 0x6D: Adc(Read(Abs())); return Took(4);
        case 0x7D: Adc(Read(AbsI(x))); return Took(4);
        case 0x79: Adc(Read(AbsI(y))); return Took(4);
        case 0x61: Adc(Read(IndX())); return Took(6);
        case 0x71: Adc(Read(IndY())); return Took(5);
        case 0xE9: Adc(static_cast<std::uint8_t>(~Imm())); return Took(2);
        case 0xE5: Adc(static_cast<std::uint8_t>(~Read(Zp()))); return Took(3);
        case 0xF5: Adc(static_cast<std::uint8_t>(~Read(ZpX()))); return Took(4);
        case 0xED: Adc(static_cast<std::uint8_t>(~Read(Abs()))); return Took(4);
        case 0xFD: Adc(static_cast<std::uint8_t>(~Read(AbsI(x)))); return Took(4);
        case 0xF9: Adc(static_cast<std::uint8_t>(~Read(AbsI(y)))); return Took(4);
        case 0xE1: Adc(static_cast<std::uint8_t>(~Read(IndX()))); return Took(6);
        case 0xF1: Adc(static_cast<std::uint8_t>(~Read(IndY()))); return Took(5);
        case 0x29: a = Set(a & Imm()); return Took(2);
        case 0x25: a = Set(a & Read(Zp())); return Took(3);
        case 0x35: a = Set(a & Read(ZpX())); return Took(4);
        case 0x2D: a = Set(a & Read(Abs())); return Took(4);
        case 0x3D: a = Set(a & Read(AbsI(x))); return Took(4);
        case 0x39: a = Set(a & Read(AbsI(y))); return Took(4);
        case 0x31: a = Set(a & Read(IndY())); return Took(5);
        case 0x09: a = Set(a | Imm()); return Took(2);
        case 0x05: a = Set(a | Read(Zp())); return Took(3);
        case 0x15: a = Set(a | Read(ZpX())); return Took(4);
        case 0x0D: a = Set(a | Read(Abs())); return Took(4);
        case 0x1D: a = Set(a | Read(AbsI(x))); return Took(4);
        case 0x19: a = Set(a | Read(AbsI(y))); return Took(4);
        case 0x11: a = Set(a | Read(IndY())); return Took(5);
        case 0x49: a = Set(a ^ Imm()); return Took(2);
        case 0x45: a = Set(a ^ Read(Zp())); return Took(3);
        case 0x55: a = Set(a ^ Read(ZpX())); return Took(4);
        case 0x4D: a = Set(a ^ Read(Abs())); return Took(4);
        case 0x5D: a = Set(a ^ Read(AbsI(x))); return Took(4);
        case 0x59: a = Set(a ^ Read(AbsI(y))); return Took(4);
        case 0x51: a = Set(a ^ Read(IndY())); return Took(5);
        case 0xC9: Compare(a, Imm()); return Took(2);
        case 0xC5: Compare(a, Read(Zp())); return Took(3);
        case 0xD5: Compare(a, Read(ZpX())); return Took(4);
        case 0xCD: Compare(a, Read(Abs())); return Took(4);
        case 0xDD: Compare(a, Read(AbsI(x))); return Took(4);
        case 0xD9: Compare(a, Read(AbsI(y))); return Took(4);
        case 0xD1: Compare(a, Read(IndY())); return Took(5);
        case 0xE0: Compare(x, Imm()); return Took(2);
        case 0xE4: Compare(x, Read(Zp())); return Took(3);
        case 0xEC: Compare(x, Read(Abs())); return Took(4);
        case 0xC0: Compare(y, Imm()); return Took(2);
        case 0xC4: Compare(y, Read(Zp())); return Took(3);
        case 0xCC: Compare(y, Read(Abs())); return Took(4);
        case 0x24: Bit(Read(Zp())); return Took(3);
        case 0x2C: Bit(Read(Abs())); return Took(4);
        // Increments and decrements.
        case 0xE8: x = Set(static_cast<std::uint8_t>(x + 1)); return Took(2);
        case 0xC8: y = Set(static_cast<std::uint8_t>(y + 1)); return Took(2);
        case 0xCA: x = Set(static_cast<std::uint8_t>(x - 1)); return Took(2);
        case 0x88: y = Set(static_cast<std::uint8_t>(y - 1)); return Took(2);
        case 0xE6: Modify(Zp(), +1); return Took(5);
        case 0xF6: Modify(ZpX(), +1); return Took(6);
        case 0xEE: Modify(Abs(), +1); return Took(6);
        case 0xFE: Modify(AbsI(x, false), +1); return Took(7);
        case 0xC6: Modify(Zp(), -1); return Took(5);
        case 0xD6: Modify(ZpX(), -1); return Took(6);
        case 0xCE: Modify(Abs(), -1); return Took(6);
        case 0xDE: Modify(AbsI(x, false), -1); return Took(7);
        // Shifts and rotations: the accumulator, or memory.
        case 0x0A: a = Shift(a, 'l'); return Took(2);
        case 0x4A: a = Shift(a, 'r'); return Took(2);
        case 0x2A: a = Shift(a, 'L'); return Took(2);
        case 0x6A: a = Shift(a, 'R'); return Took(2);
        case 0x06: ShiftAt(Zp(), 'l'); return Took(5);
        case 0x46: ShiftAt(Zp(), 'r'); return Took(5);
        case 0x26: ShiftAt(Zp(), 'L'); return Took(5);
        case 0x66: ShiftAt(Zp(), 'R'); return Took(5);
        case 0x0E: ShiftAt(Abs(), 'l'); return Took(6);
        case 0x4E: ShiftAt(Abs(), 'r'); return Took(6);
        case 0x2E: ShiftAt(Abs(), 'L'); return Took(6);
        case 0x6E: ShiftAt(Abs(), 'R'); return Took(6);
        case 0x1E: ShiftAt(AbsI(x, false), 'l'); return Took(7);
        case 0x5E: ShiftAt(AbsI(x, false), 'r'); return Took(7);
        case 0x3E: ShiftAt(AbsI(x, false), 'L'); return Took(7);
        case 0x7E: ShiftAt(AbsI(x, false), 'R'); return Took(7);
        // Jumps and branches.
        case 0x4C: pc = Abs(); return Took(3);
        case 0x6C: {
            const int at = Abs();  // the NMOS part's page wrap of the pointer
            pc = static_cast<std::uint16_t>(memory[at] | memory[(at & 0xFF00) | ((at + 1) & 0xFF)] << 8);
            return Took(5);
        }
        case 0x20: {
            const int to = Abs();
            const int back = pc - 1;
            Push(static_cast<std::uint8_t>(back >> 8));
            Push(static_cast<std::uint8_t>(back));
            pc = static_cast<std::uint16_t>(to);
            return Took(6);
        }
        case 0x60: {
            const int low = Pull();
            pc = static_cast<std::uint16_t>((low | Pull() << 8) + 1);
            return Took(6);
        }
        case 0x10: return Branch(!n);
        case 0x30: return Branch(n);
        case 0x50: return Branch(!v);
        case 0x70: return Branch(v);
        case 0x90: return Branch(!c);
        case 0xB0: return Branch(c);
        case 0xD0: return Branch(!z);
        case 0xF0: return Branch(z);
        // Flags.
        case 0x18: c = false; return Took(2);
        case 0x38: c = true; return Took(2);
        case 0x58: i = false; return Took(2);
        case 0x78: i = true; return Took(2);
        case 0xB8: v = false; return Took(2);
        case 0xD8: d = false; return Took(2);
        case 0xF8: d = true; return Took(2);
        case 0xEA: return Took(2);
        default:
            fault = "opcode $" + Hex(op) + " at $" + Hex(pc - 1);
            return false;
        }
    }

private:
    static std::string Hex(int v) {
        static const char* digits = "0123456789ABCDEF";
        std::string out;
        for (int shift = v > 0xFF ? 12 : 4; shift >= 0; shift -= 4) out += digits[(v >> shift) & 15];
        return out;
    }
    bool Took(int count) {
        cycles += static_cast<std::uint64_t>(count);
        return true;
    }
    std::uint8_t Fetch() { return memory[pc++]; }
    std::uint8_t Imm() { return Fetch(); }
    int Zp() { return Fetch(); }
    int ZpX() { return (Fetch() + x) & 0xFF; }
    int ZpY() { return (Fetch() + y) & 0xFF; }
    int Abs() {
        const int low = Fetch();
        return low | Fetch() << 8;
    }
    // Indexed absolute: a read that crosses a page takes a cycle more.
    int AbsI(std::uint8_t index, bool read = true) {
        const int base = Abs();
        const int at = (base + index) & 0xFFFF;
        if (read && (base & 0xFF00) != (at & 0xFF00)) ++cycles;
        return at;
    }
    int IndX() {
        const int zp = (Fetch() + x) & 0xFF;
        return memory[zp] | memory[(zp + 1) & 0xFF] << 8;
    }
    int IndY(bool read = true) {
        const int zp = Fetch();
        const int base = memory[zp] | memory[(zp + 1) & 0xFF] << 8;
        const int at = (base + y) & 0xFFFF;
        if (read && (base & 0xFF00) != (at & 0xFF00)) ++cycles;
        return at;
    }
    std::uint8_t Set(std::uint8_t value) {
        z = value == 0;
        n = value & 0x80;
        return value;
    }
    void Push(std::uint8_t value) { memory[0x100 + s--] = value; }
    std::uint8_t Pull() { return memory[0x100 + ++s]; }
    std::uint8_t Status(bool brk) const {
        return static_cast<std::uint8_t>(n << 7 | v << 6 | 1 << 5 | brk << 4 | d << 3 | i << 2 | z << 1 | c);
    }
    void SetStatus(std::uint8_t p) {
        n = p & 0x80, v = p & 0x40, d = p & 0x08, i = p & 0x04, z = p & 0x02, c = p & 0x01;
    }
    // Binary mode only: the loader never sets decimal mode.
    void Adc(std::uint8_t operand) {
        const int sum = a + operand + (c ? 1 : 0);
        v = ~(a ^ operand) & (a ^ sum) & 0x80;
        c = sum > 0xFF;
        a = Set(static_cast<std::uint8_t>(sum));
    }
    void Compare(std::uint8_t reg, std::uint8_t operand) {
        c = reg >= operand;
        Set(static_cast<std::uint8_t>(reg - operand));
    }
    void Bit(std::uint8_t operand) {
        z = (a & operand) == 0;
        n = operand & 0x80;
        v = operand & 0x40;
    }
    void Modify(int at, int by) { Write(at, Set(static_cast<std::uint8_t>(Read(at) + by))); }
    std::uint8_t Shift(std::uint8_t value, char how) {
        const bool in = c;
        switch (how) {
        case 'l': c = value & 0x80; return Set(static_cast<std::uint8_t>(value << 1));
        case 'r': c = value & 1; return Set(static_cast<std::uint8_t>(value >> 1));
        case 'L': c = value & 0x80; return Set(static_cast<std::uint8_t>(value << 1 | in));
        default: c = value & 1; return Set(static_cast<std::uint8_t>(value >> 1 | in << 7));
        }
    }
    void ShiftAt(int at, char how) { Write(at, Shift(Read(at), how)); }
    // A branch taken costs a cycle more, two when it crosses a page.
    bool Branch(bool taken) {
        const auto offset = static_cast<std::int8_t>(Fetch());
        cycles += 2;
        if (!taken) return true;
        const int to = (pc + offset) & 0xFFFF;
        cycles += (to & 0xFF00) != (pc & 0xFF00) ? 2 : 1;
        pc = static_cast<std::uint16_t>(to);
        return true;
    }
};

}  // namespace cpu6502
