// A small inventory for the coverage tests: commands from the arguments add,
// remove and report items. Blocks that the test inputs never reach are tagged
// "unrun" on the line where their block starts (the keyword, the case label,
// or the opening brace of a function).
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#define FOR_EACH_ITEM(it, inv) for (auto it = (inv).items.begin(); it != (inv).items.end(); ++it)

enum class Kind { Add, Remove, Report, Clear, Unknown };

struct Inventory {
    std::map<std::string, int> items;
    int changes = 0;

    int Count(const std::string& name) const
    {
        auto it = items.find(name);
        if (it == items.end()) {
            return 0;
        }
        return it->second;
    }
    void Add(const std::string& name, int n);
    bool Remove(const std::string& name, int n);
    int Total() const;
};

void Inventory::Add(const std::string& name, int n)
{
    if (n <= 0) { /* unrun */
        throw std::invalid_argument("count must be positive");
    }
    items[name] += n;
    changes++;
}

bool Inventory::Remove(const std::string& name, int n)
{
    auto it = items.find(name);
    if (it == items.end())
        return false;
    if (it->second < n) {
        throw std::runtime_error("not enough " + name);
    }
    it->second -= n;
    if (it->second == 0) {
        items.erase(it);
    }
    changes++;
    return true;
}

int Inventory::Total() const
{
    int total = 0;
    FOR_EACH_ITEM(it, *this) {
        total += it->second;
    }
    return total;
}

static Kind KindOf(const std::string& word)
{
    if (word == "add")
        return Kind::Add;
    else if (word == "remove")
        return Kind::Remove;
    else if (word == "report")
        return Kind::Report;
    else if (word == "clear") /* unrun */
        return Kind::Clear;
    return Kind::Unknown;
}

template <typename T>
static T Clamp(T v, T low, T high)
{
    if (v < low) {
        return low;
    }
    if (v > high) { /* unrun */
        return high;
    }
    return v;
}

static void Report(const Inventory& inv)
{
    std::vector<std::pair<std::string, int>> sorted(inv.items.begin(), inv.items.end());
    std::sort(sorted.begin(), sorted.end(), [](const std::pair<std::string, int>& a,
                                               const std::pair<std::string, int>& b) {
        return a.second > b.second;
    });
    for (const auto& item : sorted) {
        std::cout << item.first << " " << item.second << "\n";
    }
    if (sorted.empty()) {
        std::cout << "empty\n";
    }
    std::cout << "total " << inv.Total() << "\n";
}

static int Execute(Inventory& inv, Kind kind, const std::string& name, int n)
{
    switch (kind)
    {
        case Kind::Add:
            inv.Add(name, Clamp(n, 1, 1000));
            break;
        case Kind::Remove:
            try {
                if (!inv.Remove(name, n)) {
                    std::cout << "no " << name << "\n";
                }
            } catch (const std::runtime_error& e) {
                std::cout << "error: " << e.what() << "\n";
                return 1;
            }
            break;
        case Kind::Report:
            Report(inv);
            break;
        case Kind::Clear: /* unrun */
            inv.items.clear();
            break;
        default:
            std::cout << "unknown command " << name << "\n";
            return 2;
    }
    return 0;
}

int Unused(int v)
{ /* unrun */
    while (v > 1) { /* unrun */
        v /= 2;
    }
    return v;
}

int main(int argc, char** argv)
{
    Inventory inv;
    int status = 0;
    int i = 1;
    while (i < argc) {
        std::string word = argv[i];
        Kind kind = KindOf(word);
        std::string name = i + 1 < argc ? argv[i + 1] : "";
        int n = i + 2 < argc ? std::atoi(argv[i + 2]) : 0;
        if (kind == Kind::Report) {
            i += 1;
        } else {
            i += 3;
        }
        status |= Execute(inv, kind, name, n);
    }
    std::cout << "changes " << inv.changes << " count " << inv.Count("apple") << "\n";
    return status;
}
