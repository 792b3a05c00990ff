#pragma once
// A square grid of doubles handed out as row pointers, as the model keeps it.
#include <vector>

namespace ostrander {

class TestGrid {
public:
    explicit TestGrid(int n, double value = 0.0)
        : n_(n), data_(static_cast<std::size_t>(n) * n, value), rows_(n) {
        for (int i = 0; i < n; ++i)
            rows_[i] = data_.data() + static_cast<std::size_t>(i) * n;
    }
    TestGrid(const TestGrid&) = delete;
    TestGrid& operator=(const TestGrid&) = delete;

    int Size() const { return n_; }
    double* operator[](int i) { return rows_[i]; }
    double** Rows() { return rows_.data(); }

    // Sets every sample to f(i, j).
    template <class F> void Fill(F f) {
        for (int i = 0; i < n_; ++i)
            for (int j = 0; j < n_; ++j)
                rows_[i][j] = f(i, j);
    }

private:
    int n_;
    std::vector<double> data_;
    std::vector<double*> rows_;
};

} // namespace ostrander
