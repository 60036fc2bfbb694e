#include "runtime/image_content.h"

#include <algorithm>

namespace tolvar::runtime {

namespace {

// Where each part's entries stand in the image's tables.
constexpr std::string_view kRecordOrder[] = {"runtime", "web", "ui", "regex", "app", "service"};
constexpr std::string_view kPassedByAddressOrder[] = {"web", "runtime", "app", "service"};
constexpr std::string_view kConstantOrder[] = {"runtime", "regex", "deployment", "ui", "app", "service"};

std::vector<const ImageContent *> &registered() {
    static std::vector<const ImageContent *> parts;
    return parts;
}

const ImageContent *part_named(std::string_view name) {
    for (const ImageContent *c : registered())
        if (c->part == name) return c;
    return nullptr;
}

template <class Item, size_t N, class Select>
std::vector<Item> assembled(const std::string_view (&order)[N], Select select) {
    std::vector<Item> out;
    for (std::string_view name : order)
        if (const ImageContent *c = part_named(name))
            for (const auto &item : select(*c)) out.push_back(item);
    return out;
}

template <size_t N>
bool placed(std::string_view part, const std::string_view (&order)[N]) {
    return std::find(std::begin(order), std::end(order), part) != std::end(order);
}

}  // namespace

ContentRegistration::ContentRegistration(const ImageContent &content) { registered().push_back(&content); }

std::vector<std::string_view> image_routines() {
    return assembled<std::string_view>(kRecordOrder, [](const ImageContent &c) { return c.routines; });
}

std::vector<std::string_view> image_routines_passed_by_address() {
    return assembled<std::string_view>(kPassedByAddressOrder,
                                       [](const ImageContent &c) { return c.passed_by_address; });
}

std::vector<const Constant *> image_constants() {
    return assembled<const Constant *>(kConstantOrder, [](const ImageContent &c) { return c.constants; });
}

std::vector<std::string_view> image_misplaced_parts() {
    std::vector<std::string_view> out;
    for (const ImageContent *c : registered()) {
        bool fits = (c->routines.empty() || placed(c->part, kRecordOrder)) &&
                    (c->passed_by_address.empty() || placed(c->part, kPassedByAddressOrder)) &&
                    (c->constants.empty() || placed(c->part, kConstantOrder));
        if (!fits) out.push_back(c->part);
    }
    auto missing = [&](std::string_view name) {
        if (!part_named(name) && std::find(out.begin(), out.end(), name) == out.end()) out.push_back(name);
    };
    for (auto name : kRecordOrder) missing(name);
    for (auto name : kPassedByAddressOrder) missing(name);
    for (auto name : kConstantOrder) missing(name);
    return out;
}

}  // namespace tolvar::runtime
