#pragma once
// Each row's tooltip (why its file failed, or vv.exe's notes), kept in step with the rows
// as they are added, deleted and moved, so that a tip stays with its file.
#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace inputs {

class RowTips {
public:
    void Reset(std::size_t rows) { m_tips.assign(rows, {}); }
    void Set(std::size_t row, std::string tip) {
        if (row < m_tips.size()) m_tips[row] = std::move(tip);
    }
    void Inserted(std::size_t at, std::size_t count) {
        m_tips.insert(m_tips.begin() + static_cast<std::ptrdiff_t>(std::min(at, m_tips.size())), count, {});
    }
    void Erased(std::size_t row) {
        if (row < m_tips.size()) m_tips.erase(m_tips.begin() + static_cast<std::ptrdiff_t>(row));
    }
    void Moved(std::size_t from, std::size_t to) {
        if (from < m_tips.size() && to < m_tips.size()) std::swap(m_tips[from], m_tips[to]);
    }
    void Clear() { m_tips.clear(); }
    // The tip of a row; empty for none.
    std::string At(long row) const {
        return row >= 0 && static_cast<std::size_t>(row) < m_tips.size() ? m_tips[static_cast<std::size_t>(row)]
                                                                         : std::string();
    }

private:
    std::vector<std::string> m_tips;
};

}  // namespace inputs
