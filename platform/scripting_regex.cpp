// The backtracking matcher: runs a compiled pattern at each start position in
// turn, keeping its choices and the register values to restore on one stack,
// as the language's definition tries its alternatives.
#include "platform/scripting_regex.h"

#include "platform/scripting_regex_program.h"

namespace tolvar::platform::regex {

namespace {

enum class Result { matched, failed, too_long };

class Machine {
public:
    Machine(const Program &program, std::u16string_view subject, Budget &budget)
        : p_(program), s_(subject), size_(static_cast<int32_t>(subject.size())), budget_(budget),
          registers_(budget.registers), stack_(budget.stack) {}

    Result at(int32_t start) {
        registers_.assign(p_.registers(), -1);
        stack_.clear();
        return run(0, start, 0);
    }
    const std::vector<int32_t> &registers() const { return registers_; }

private:
    // choice: resume at pc with position a. undo: register a had value b.
    // greedy_units: resume at pc with a - 1 units, not below position b.
    // lazy_units: one unit more for the simple repeat at pc, now at position a after b units.
    struct Kind {
        enum : uint8_t { choice, undo, greedy_units, lazy_units };
    };
    using Entry = BacktrackEntry;

    void push(uint8_t kind, uint32_t pc, int32_t a, int32_t b) {
        if (stack_.size() >= budget_.entries()) overflow_ = true;
        else stack_.push_back({kind, pc, a, b});
    }
    void set(uint32_t r, int32_t value) {
        if (registers_[r] == value) return;
        push(Kind::undo, 0, static_cast<int32_t>(r), registers_[r]);
        registers_[r] = value;
    }

    bool unit_matches(const Instruction &in, int32_t pos) const {
        if (pos >= size_) return false;
        char16_t c = s_[static_cast<size_t>(pos)];
        switch (in.op) {
            case Op::character: return c == in.x;
            case Op::character_folded: return canonical(c) == in.x;
            case Op::any: return !line_terminator(c);
            case Op::set: return p_.sets[in.x].contains(p_.options.ignore_case ? canonical(c) : c);
            default: return false;
        }
    }

    bool word_at(int32_t pos) const { return pos >= 0 && pos < size_ && word_unit(s_[static_cast<size_t>(pos)]); }

    bool backreference(uint32_t group, int32_t &pos) const {
        int32_t begin = registers_[2 * group], end = registers_[2 * group + 1];
        if (begin < 0 || end < 0) return true;  // a group that took no part matches the empty text
        int32_t length = end - begin;
        if (pos + length > size_) return false;
        for (int32_t k = 0; k < length; ++k) {
            char16_t a = s_[static_cast<size_t>(begin + k)], b = s_[static_cast<size_t>(pos + k)];
            if (a != b && !(p_.options.ignore_case && canonical(a) == canonical(b))) return false;
        }
        pos += length;
        return true;
    }

    // After a positive look-ahead matched: its choices go, what it captured stays.
    void drop_choices_above(size_t mark) {
        size_t kept = mark;
        for (size_t k = mark; k < stack_.size(); ++k)
            if (stack_[k].kind == Kind::undo) stack_[kept++] = stack_[k];
        stack_.resize(kept);
    }
    void unwind_to(size_t mark) {
        while (stack_.size() > mark) {
            if (stack_.back().kind == Kind::undo) registers_[static_cast<size_t>(stack_.back().a)] = stack_.back().b;
            stack_.pop_back();
        }
    }

    // Takes the newest choice above `base`: false when there is none left.
    bool backtrack(size_t base, uint32_t &pc, int32_t &pos) {
        while (stack_.size() > base) {
            Entry e = stack_.back();
            stack_.pop_back();
            switch (e.kind) {
                case Kind::undo: registers_[static_cast<size_t>(e.a)] = e.b; break;
                case Kind::choice:
                    pc = e.pc;
                    pos = e.a;
                    return true;
                case Kind::greedy_units: {
                    int32_t next = e.a - 1;
                    if (next < e.b) break;
                    if (next > e.b) push(Kind::greedy_units, e.pc, next, e.b);
                    pc = e.pc;
                    pos = next;
                    return true;
                }
                case Kind::lazy_units: {
                    const Instruction &repeat = p_.code[e.pc];
                    if (!unit_matches(p_.code[e.pc + 1], e.a)) break;
                    uint32_t count = static_cast<uint32_t>(e.b) + 1;
                    if (count < repeat.max) push(Kind::lazy_units, e.pc, e.a + 1, static_cast<int32_t>(count));
                    pc = e.pc + 2;
                    pos = e.a + 1;
                    return true;
                }
            }
        }
        return false;
    }

    Result run(uint32_t pc, int32_t pos, size_t base) {
        for (;;) {
            if ((++steps_ & 0xFFF) == 0 && budget_.expired()) return Result::too_long;
            if (overflow_) return Result::too_long;
            const Instruction &in = p_.code[pc];
            bool ok = true;
            switch (in.op) {
                case Op::character:
                case Op::character_folded:
                case Op::any:
                case Op::set:
                    ok = unit_matches(in, pos);
                    if (ok) ++pos, ++pc;
                    break;
                case Op::backreference:
                    ok = backreference(in.x, pos);
                    ++pc;
                    break;
                case Op::line_start:
                    ok = pos == 0 || (p_.options.multiline && line_terminator(s_[static_cast<size_t>(pos - 1)]));
                    ++pc;
                    break;
                case Op::line_end:
                    ok = pos == size_ || (p_.options.multiline && line_terminator(s_[static_cast<size_t>(pos)]));
                    ++pc;
                    break;
                case Op::word_boundary:
                case Op::not_word_boundary:
                    ok = (word_at(pos - 1) != word_at(pos)) == (in.op == Op::word_boundary);
                    ++pc;
                    break;
                case Op::split:
                    push(Kind::choice, in.y, pos, 0);
                    pc = in.x;
                    break;
                case Op::jump: pc = in.x; break;
                case Op::save:
                    set(in.x, pos);
                    ++pc;
                    break;
                case Op::repeat_init:
                    set(p_.counter_register(in.x), 0);
                    ++pc;
                    break;
                case Op::repeat_loop: {
                    auto count = static_cast<uint32_t>(registers_[p_.counter_register(in.x)]);
                    if (in.max != kUnbounded && count >= in.max) {
                        pc = in.y;
                    } else if (count < in.min) {
                        ++pc;
                    } else if (in.greedy) {
                        push(Kind::choice, in.y, pos, 0);
                        ++pc;
                    } else {
                        push(Kind::choice, pc + 1, pos, 0);
                        pc = in.y;
                    }
                    break;
                }
                case Op::repeat_begin:
                    set(p_.start_register(in.x), pos);
                    for (uint32_t g = in.min; g < in.max; ++g) {
                        set(2 * g, -1);
                        set(2 * g + 1, -1);
                    }
                    ++pc;
                    break;
                case Op::repeat_end: {
                    auto count = static_cast<uint32_t>(registers_[p_.counter_register(in.x)]);
                    // An iteration that matched nothing, once the minimum is reached, fails.
                    ok = !(count >= in.min && pos == registers_[p_.start_register(in.x)]);
                    if (ok) {
                        set(p_.counter_register(in.x), static_cast<int32_t>(count + 1));
                        pc = in.y;
                    }
                    break;
                }
                case Op::simple_repeat: {
                    const Instruction &atom = p_.code[pc + 1];
                    uint32_t count = 0;
                    int32_t at = pos;
                    if (in.greedy) {
                        while (count < in.max && unit_matches(atom, at)) ++at, ++count;
                        steps_ += count;
                        ok = count >= in.min;
                        if (ok && count > in.min)
                            push(Kind::greedy_units, pc + 2, at, pos + static_cast<int32_t>(in.min));
                    } else {
                        while (ok && count < in.min) {
                            ok = unit_matches(atom, at);
                            if (ok) ++at, ++count;
                        }
                        if (ok && count < in.max) push(Kind::lazy_units, pc, at, static_cast<int32_t>(count));
                    }
                    if (ok) pos = at, pc += 2;
                    break;
                }
                case Op::look: {
                    size_t mark = stack_.size();
                    Result r = run(pc + 1, pos, mark);
                    if (r == Result::too_long) return r;
                    bool negative = in.y != 0;
                    if (r == Result::matched && negative) unwind_to(mark);
                    if (r == Result::matched && !negative) drop_choices_above(mark);
                    ok = (r == Result::matched) != negative;
                    pc = in.x;
                    break;
                }
                case Op::look_end:
                case Op::match: return Result::matched;
            }
            if (!ok && !backtrack(base, pc, pos)) return overflow_ ? Result::too_long : Result::failed;
        }
    }

    const Program &p_;
    std::u16string_view s_;
    int32_t size_;
    Budget &budget_;
    std::vector<int32_t> &registers_;  // the call's, reused by each search
    std::vector<Entry> &stack_;
    uint64_t steps_ = 0;
    bool overflow_ = false;
};

}  // namespace

Regex::Regex(std::unique_ptr<Program> program) : program_(std::move(program)) {}
Regex::~Regex() = default;

std::shared_ptr<const Regex> Regex::compile(std::u16string_view pattern, Options options, std::string &error) {
    std::unique_ptr<Program> program = compile_pattern(pattern, options, error);
    if (!program) return nullptr;
    return std::shared_ptr<const Regex>(new Regex(std::move(program)));
}

uint32_t Regex::capture_count() const { return program_->captures; }

Outcome Regex::search(std::u16string_view subject, size_t start, std::vector<int32_t> &captures, Budget &budget) const {
    if (subject.size() > static_cast<size_t>(INT32_MAX - 1)) return Outcome::too_long;
    Machine machine(*program_, subject, budget);
    const CharSet *first = program_->first.get();
    for (size_t at = start; at <= subject.size(); ++at) {
        if (first) {  // positions where no match can start are skipped
            while (at < subject.size() && !first->contains(subject[at])) ++at;
            if (at == subject.size()) break;
        }
        Result r = machine.at(static_cast<int32_t>(at));
        if (r == Result::too_long) return Outcome::too_long;
        if (r == Result::matched) {
            const std::vector<int32_t> &regs = machine.registers();
            captures.assign(regs.begin(), regs.begin() + 2 * (program_->captures + 1));
            return Outcome::matched;
        }
        if ((at & 0xFFF) == 0 && budget.expired()) return Outcome::too_long;
    }
    return Outcome::no_match;
}

}  // namespace tolvar::platform::regex
