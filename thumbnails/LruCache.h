// A cache of values with a byte budget: what was shown least recently goes
// first when a new value would pass the budget.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <unordered_map>
#include <utility>

namespace marrowix {

template <class Key, class Value, class Hash = std::hash<Key>>
class LruCache {
public:
    // `cost` gives the bytes a value holds.
    LruCache(std::size_t budget, std::function<std::size_t(const Value&)> cost)
        : m_budget(budget), m_cost(std::move(cost)) {}

    // The value of `key`, now the most recently shown; null when absent.
    Value* Find(const Key& key) {
        const auto it = m_index.find(key);
        if (it == m_index.end()) {
            return nullptr;
        }
        m_order.splice(m_order.begin(), m_order, it->second);
        return &it->second->value;
    }

    // The value of `key` without counting it as shown; null when absent.
    const Value* Peek(const Key& key) const {
        const auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &it->second->value;
    }

    // Keeps `value` as the most recently shown, replacing one of the same
    // key, then drops the least recently shown until the budget holds
    // (a value larger than the whole budget is not kept at all).
    void Insert(const Key& key, Value value) {
        Erase(key);
        const std::size_t bytes = m_cost(value) + kEntryBytes;
        m_order.push_front({key, std::move(value), bytes});
        m_index.emplace(key, m_order.begin());
        m_bytes += bytes;
        while (m_bytes > m_budget && !m_order.empty()) {
            Erase(m_order.back().key);
        }
    }

    void Erase(const Key& key) {
        const auto it = m_index.find(key);
        if (it != m_index.end()) {
            m_bytes -= it->second->bytes;
            m_order.erase(it->second);
            m_index.erase(it);
        }
    }

    void Clear() {
        m_order.clear();
        m_index.clear();
        m_bytes = 0;
    }

    // Calls visit(key, value) for every value, most recently shown first;
    // values may be moved from, then Clear.
    template <class Visit>
    void ForEach(Visit visit) {
        for (Entry& node : m_order) {
            visit(node.key, node.value);
        }
    }

    std::size_t Bytes() const { return m_bytes; }
    std::size_t Budget() const { return m_budget; }
    std::size_t Count() const { return m_order.size(); }

    // What each value costs besides its own bytes: its node in the list and
    // in the index, their allocations' overhead, and the index's bucket.
    static constexpr std::size_t kEntryBytes = 2 * sizeof(Key) + sizeof(Value) + 96;

private:
    struct Entry {
        Key key;
        Value value;
        std::size_t bytes;
    };
    std::size_t m_budget;
    std::function<std::size_t(const Value&)> m_cost;
    std::list<Entry> m_order;  // most recently shown first
    std::unordered_map<Key, typename std::list<Entry>::iterator, Hash> m_index;
    std::size_t m_bytes = 0;
};

}  // namespace marrowix
