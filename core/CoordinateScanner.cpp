#include "core/CoordinateScanner_p.h"

#include <cstdint>
#include <functional>

namespace {

// Character classes of the pattern, as bits.
enum : std::uint8_t {
    kSpace = 1, kDigit = 2, kDot = 4, kMinus = 8, kPlus = 16, kExp = 32, kComma = 64, kOther = 128
};

std::uint8_t classOf(QChar ch) {
    const ushort c = ch.unicode();
    if (c == ' ' || (c >= 9 && c <= 13)) return kSpace;  // PCRE's \s without Unicode properties
    if (c >= '0' && c <= '9') return kDigit;
    switch (c) {
    case '.': return kDot;
    case '-': return kMinus;
    case '+': return kPlus;
    case 'e': case 'E': return kExp;
    case ',': return kComma;
    default: return kOther;
    }
}

// A Pike virtual machine over a fixed program: threads kept in priority order reproduce the match
// a backtracking engine would find first, each text position is visited once per program state.
struct Inst {
    enum Op : std::uint8_t { Char, Split, Jmp, Match } op;
    std::uint8_t mask = 0;
    int x = 0;  // Split: preferred branch; Jmp: target
    int y = 0;  // Split: other branch
};

class Program {
public:
    Program() {
        opt([this] { chr(kSpace); });
        number();
        star([this] { chr(kSpace); });
        star([this] {
            opt([this] { chr(kSpace); });
            number();
        });
        star([this] { chr(kSpace); });
        chr(kComma);
        star([this] { chr(kSpace); });
        number();
        star([this] { chr(kSpace); });
        opt([this] {
            chr(kComma);
            star([this] { chr(kSpace); });
            number();
        });
        star([this] { chr(kSpace); });
        chr(kSpace | kComma);
        m_code.push_back({Inst::Match});
    }

    const std::vector<Inst>& Code() const { return m_code; }

private:
    int here() const { return static_cast<int>(m_code.size()); }
    void chr(std::uint8_t mask) { m_code.push_back({Inst::Char, mask}); }
    // Greedy "?": the branch that takes the item comes first.
    void opt(const std::function<void()>& item) {
        const int split = here();
        m_code.push_back({Inst::Split});
        item();
        m_code[split].x = split + 1;
        m_code[split].y = here();
    }
    // Greedy "*".
    void star(const std::function<void()>& item) {
        const int split = here();
        m_code.push_back({Inst::Split});
        item();
        m_code.push_back({Inst::Jmp, 0, split});
        m_code[split].x = split + 1;
        m_code[split].y = here();
    }
    void plus(const std::function<void()>& item) {
        item();
        star(item);
    }
    // -?\s*\d+(?:\.\d+)?(?:\s*[eE]\s*[-+]?\s*\d+)?
    void number() {
        opt([this] { chr(kMinus); });
        star([this] { chr(kSpace); });
        plus([this] { chr(kDigit); });
        opt([this] {
            chr(kDot);
            plus([this] { chr(kDigit); });
        });
        opt([this] {
            star([this] { chr(kSpace); });
            chr(kExp);
            star([this] { chr(kSpace); });
            opt([this] { chr(kMinus | kPlus); });
            star([this] { chr(kSpace); });
            plus([this] { chr(kDigit); });
        });
    }

    std::vector<Inst> m_code;
};

struct Thread {
    int pc;
    int start;
};

class Machine {
public:
    explicit Machine(const std::vector<Inst>& code) : m_code(code), m_mark(code.size(), -1) {}

    // The first match at or after `from`: [start, end), or start -1.
    std::pair<int, int> Search(const std::vector<std::uint8_t>& cls, int from) {
        const int n = static_cast<int>(cls.size());
        std::vector<Thread> current, next;
        std::pair<int, int> found(-1, -1);
        std::int64_t currentId = ++m_lastId;
        for (int i = from; i <= n; ++i) {
            // A new start has the lowest priority: an earlier start always wins.
            if (found.first < 0) add(current, 0, i, currentId);
            if (current.empty()) break;
            next.clear();
            const std::int64_t nextId = ++m_lastId;
            for (const Thread& t : current) {
                const Inst& inst = m_code[static_cast<size_t>(t.pc)];
                if (inst.op == Inst::Match) {
                    found = {t.start, i};
                    break;  // threads after this one have lower priority
                }
                if (i < n && (inst.mask & cls[static_cast<size_t>(i)]) != 0) add(next, t.pc + 1, t.start, nextId);
            }
            current.swap(next);
            currentId = nextId;
        }
        return found;
    }

private:
    void add(std::vector<Thread>& list, int pc, int start, std::int64_t listId) {
        std::int64_t& mark = m_mark[static_cast<size_t>(pc)];
        if (mark == listId) return;
        mark = listId;
        const Inst& inst = m_code[static_cast<size_t>(pc)];
        if (inst.op == Inst::Jmp) {
            add(list, inst.x, start, listId);
        } else if (inst.op == Inst::Split) {
            add(list, inst.x, start, listId);
            add(list, inst.y, start, listId);
        } else {
            list.push_back({pc, start});
        }
    }

    const std::vector<Inst>& m_code;
    std::vector<std::int64_t> m_mark;  // id of the list a state was last added to
    std::int64_t m_lastId = 0;
};

}  // namespace

std::vector<std::pair<int, int>> VtScanCoordinateMatches(const QString& text) {
    static const Program program;
    std::vector<std::uint8_t> cls(static_cast<size_t>(text.size()));
    for (int i = 0; i < text.size(); ++i) cls[static_cast<size_t>(i)] = classOf(text.at(i));
    Machine machine(program.Code());
    std::vector<std::pair<int, int>> matches;
    int pos = 0;
    while (pos < text.size()) {
        const std::pair<int, int> m = machine.Search(cls, pos);
        if (m.first < 0 || m.second <= pos) break;
        matches.push_back(m);
        pos = m.second;
    }
    return matches;
}

QString VtCoordinatePatternText() {
    const QString number = QStringLiteral("-?\\s*\\d+(?:\\.\\d+)?(?:\\s*[eE]\\s*[-+]?\\s*\\d+)?");
    return QStringLiteral("\\s?(%1)\\s*(?:\\s?(?:%1))*\\s*,\\s*(%1)\\s*(?:,\\s*(%1))?\\s*[\\s,]").arg(number);
}
