// The growable table of element rows behind CMarkupSTL. Rows are plain integers, so the table
// grows with realloc (often in place) and leaves new rows unset: every row is written in full
// when the parser hands it out.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

template <typename Row>
class ElementTable {
  public:
    ElementTable() = default;
    ~ElementTable() { std::free(rows_); }
    ElementTable(const ElementTable& other) { *this = other; }
    ElementTable& operator=(const ElementTable& other) {
        if (this != &other) {
            GrowTo(other.size_);
            if (other.size_ > 0) std::memcpy(rows_, other.rows_, sizeof(Row) * other.size_);
        }
        return *this;
    }

    bool empty() const { return size_ == 0; }
    size_t size() const { return size_; }
    Row& operator[](size_t i) { return rows_[i]; }
    const Row& operator[](size_t i) const { return rows_[i]; }

    // Grows to `rows` rows (never shrinks); the new rows hold no defined values yet.
    void GrowTo(size_t rows) {
        if (rows <= size_) return;
        void* grown = std::realloc(rows_, sizeof(Row) * rows);
        if (grown == nullptr) throw std::bad_alloc();
        rows_ = static_cast<Row*>(grown);
        size_ = rows;
    }

  private:
    Row* rows_ = nullptr;
    size_t size_ = 0;
};
