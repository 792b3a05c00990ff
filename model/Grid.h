#pragma once
// A rectangular grid held by value: Rows() x Cols() elements in one
// contiguous block, row after row. grid[i][j] is element j of row i; for the
// model's grids i runs along x and j along y. Copying copies the values,
// moving hands the block over and leaves the source empty, and the block is
// released with the grid.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace ostrander {

template <class T> class Grid {
public:
    Grid() = default;
    // rows x columns elements, each value; a size below 1 gives an empty grid.
    Grid(int32_t rows, int32_t columns, const T& value = T{}) { Assign(rows, columns, value); }

    Grid(const Grid&) = default;
    Grid& operator=(const Grid&) = default;
    Grid(Grid&& other) noexcept
        : data_(std::exchange(other.data_, {})), rows_(std::exchange(other.rows_, 0)),
          columns_(std::exchange(other.columns_, 0)) {}
    Grid& operator=(Grid&& other) noexcept {
        if (this != &other) {
            data_ = std::exchange(other.data_, {});
            rows_ = std::exchange(other.rows_, 0);
            columns_ = std::exchange(other.columns_, 0);
        }
        return *this;
    }

    // Makes the grid rows x columns, every element value (empty when either
    // size is below 1).
    void Assign(int32_t rows, int32_t columns, const T& value = T{}) {
        if (rows < 1 || columns < 1) {
            clear();
            return;
        }
        data_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), value);
        rows_ = rows;
        columns_ = columns;
    }
    void Fill(const T& value) { data_.assign(data_.size(), value); }
    void clear() {
        data_ = {};
        rows_ = columns_ = 0;
    }

    int32_t Rows() const { return rows_; }
    int32_t Cols() const { return columns_; }
    bool empty() const { return data_.empty(); }
    std::size_t size() const { return data_.size(); }
    T* data() { return data_.data(); }
    const T* data() const { return data_.data(); }

    // The first element of a row; the row's Cols() elements follow it.
    // Unchecked, for the inner loops.
    T* operator[](int32_t row) { return data_.data() + Offset(row); }
    const T* operator[](int32_t row) const { return data_.data() + Offset(row); }

    bool Contains(int32_t row, int32_t column) const {
        return row >= 0 && row < rows_ && column >= 0 && column < columns_;
    }
    // Checked access: throws std::out_of_range outside the grid, as the
    // standard containers' at() does.
    T& at(int32_t row, int32_t column) {
        Check(row, column);
        return data_[Offset(row) + static_cast<std::size_t>(column)];
    }
    const T& at(int32_t row, int32_t column) const {
        Check(row, column);
        return data_[Offset(row) + static_cast<std::size_t>(column)];
    }

    // A table of row pointers, for drawing code that takes rows[i][j]. Valid
    // until the grid is reshaped, cleared or moved from.
    std::vector<const T*> RowPointers() const {
        std::vector<const T*> rows(static_cast<std::size_t>(rows_));
        for (int32_t i = 0; i < rows_; ++i)
            rows[static_cast<std::size_t>(i)] = (*this)[i];
        return rows;
    }

private:
    std::size_t Offset(int32_t row) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_);
    }
    void Check(int32_t row, int32_t column) const {
        if (!Contains(row, column))
            throw std::out_of_range("Grid::at: element outside the grid");
    }

    std::vector<T> data_;
    int32_t rows_ = 0;
    int32_t columns_ = 0;
};

} // namespace ostrander
