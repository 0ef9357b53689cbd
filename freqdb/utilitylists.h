// The nineteen built-in lists of utility frequencies (maritime channels,
// distress and safety, weather fax, aeronautical and military stations):
// the lookup of a tuned frequency, the walks through one list, through the
// operator's selected lists and from list to list, and the selection kept
// under the storage key.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "interfaces/ifrequencydata.h"

namespace lumaret {

inline constexpr int kUtilListCount = 19;
// Selection slots kept in the settings store; slots 19..28 have no list.
inline constexpr int kSelectionSlots = 29;

// What a hit reports, read by FreqExact .. FreqMode.
struct HitRecord {
    std::int32_t exact = 0;
    std::int16_t offset = 0;
    std::int16_t filter = 0;
    BESTMODE mode = ModeAM;
    UTILTYPE list = UNothin;
    std::string name;
    std::string info;
    std::string supp;
    int hitState = 0;  // 0 none, 1 found, 2 same as last
};

// Read-only description of one list.
struct UtilListInfo {
    const char* name;  // "MarPrc", ...
    const char* label;  // "Maritime PRC", ... (selection dialog)
    bool paired;  // coast and ship frequency per channel
    std::int16_t offset;
    BESTMODE mode;
    std::int16_t filter;
};

const UtilListInfo& utilListInfo(int list);
// Entries of a list (channels for block lists, each channel once).
int utilListTotal(int list);
// Frequency of entry `index` (0-based, flat over the blocks) in Hz; the
// ship frequency when `ship` is set and the list is paired.
std::int32_t utilEntryHz(int list, int index, bool ship = false);

class UtilityLists {
public:
    // Searches the lists in their fixed order; 1 on a hit or when the last
    // hit is asked again, 0 on a miss.
    std::int32_t look(std::int32_t hz, std::int16_t delta);
    // One step in list `list`; -1 for an unknown list (idx and tot then
    // receive the previous index and total).
    std::int32_t next(std::int32_t list, bool up, std::int32_t* pIdx, std::int32_t* pTot);
    // The next entry across the selected lists; -1 when none is selected.
    std::int32_t utilNext(bool up, std::int32_t* pIdx, std::int32_t* pTot);
    // The first (last) entry of the next (previous) selected list.
    std::int32_t bankNext(bool up, std::int32_t* pIdx, std::int32_t* pTot);

    const HitRecord& hit() const { return m_hit; }

    std::int32_t selection(int slot) const;
    void setSelection(int slot, std::int32_t value);
    int currentList() const { return m_current; }

    // Reads (writes) all 29 "S_UtilNN" values under the storage key; an
    // empty key reads (writes) nothing and fails.
    bool loadSelection(const std::string& storageKey);
    bool saveSelection(const std::string& storageKey) const;

private:
    int lookIn(int list, std::int32_t hz, std::int16_t delta);
    std::int32_t step(int list, bool up);
    void moveCursor(int list, bool up);
    bool cursorOnEntry(int list) const;
    bool moveToSelected(bool up);
    void fill(int list, int index, bool ship);

    HitRecord m_hit;
    // Walk cursor, shared by all lists.
    std::int16_t m_block = -1;
    std::int16_t m_pos = -1;
    bool m_atFirst = false;
    bool m_atLast = false;
    std::int32_t m_index = 0;
    std::int32_t m_total = 0;
    int m_current = 0;
    bool m_alternate = false;  // next step of a paired list gives the ship frequency
    int m_walkList = -1;  // list of the last step
    std::array<std::int32_t, kSelectionSlots> m_selection{};
};

}  // namespace lumaret
