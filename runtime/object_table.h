// A table of numbered objects, as every runtime library keeps them: numbers
// are chosen by the caller, the table starts with 16 slots and grows to the
// number + 16 when a larger number is used, and a number that holds nothing
// is simply not found.
#pragma once

#include <memory>
#include <vector>

namespace runtime {

template <typename T>
class ObjectTable {
public:
    ObjectTable() : slots_(16) {}

    // The object under number, or nullptr.
    T* Find(int number) const {
        if (number < 0 || number >= static_cast<int>(slots_.size())) return nullptr;
        return slots_[number].get();
    }

    // Empties the slot (the object's destructor releases it) and puts a new
    // default object there. number -1 picks the lowest free number.
    T& Take(int& number) {
        if (number < 0) number = FreeNumber();
        if (number >= static_cast<int>(slots_.size())) slots_.resize(number + 16);
        slots_[number] = std::make_unique<T>();
        return *slots_[number];
    }

    void Release(int number) {
        if (Find(number)) slots_[number].reset();
    }

    template <typename F>
    void ForEach(F&& f) {
        for (int n = 0; n < static_cast<int>(slots_.size()); ++n)
            if (slots_[n]) f(n, *slots_[n]);
    }

    void Clear() {
        slots_.clear();
        slots_.resize(16);
    }
    int Size() const { return static_cast<int>(slots_.size()); }

private:
    int FreeNumber() const {
        for (int n = 0; n < static_cast<int>(slots_.size()); ++n)
            if (!slots_[n]) return n;
        return static_cast<int>(slots_.size());
    }

    std::vector<std::unique_ptr<T>> slots_;
};

}  // namespace runtime
