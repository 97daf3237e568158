#include "tools/orv-host/param_values.h"

#include "tools/orv-host/text.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

namespace orvhost {
namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Sample {
    float position;
    std::string display;
    bool numeric;
    UnitValue value;
};

std::string displayAt(const Plugin& plugin, int index, float position) {
    plugin.setParameter(index, position);
    return trim(plugin.paramDisplay(index)) + trim(plugin.paramLabel(index));
}

// Half a step of the last digit a display shows: how exactly it can match a typed value.
double displayResolution(const std::string& display, double scale) {
    std::size_t dot = display.find('.');
    int decimals = 0;
    if (dot != std::string::npos)
        while (dot + 1 + decimals < display.size() && std::isdigit(static_cast<unsigned char>(display[dot + 1 + decimals])))
            ++decimals;
    return 0.5 * std::pow(10.0, -decimals) * scale + 1e-9;
}

// How a unit written in a display compares with the base unit (factor to base).
double unitScale(const std::string& unit, std::string& base) {
    struct Known {
        const char *unit, *base;
        double scale;
    };
    static const Known known[] = {{"ms", "s", 1e-3}, {"us", "s", 1e-6}, {"sec", "s", 1.0}, {"khz", "hz", 1e3}};
    for (const Known& k : known)
        if (unit == k.unit) {
            base = k.base;
            return k.scale;
        }
    base = unit;
    return 1.0;
}

}  // namespace

bool parseUnitValue(const std::string& text, UnitValue& out) {
    std::string t = trim(text);
    const char* begin = t.c_str();
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(begin, &end);
    if (end == begin || errno != 0 || !std::isfinite(v)) return false;
    std::string unit;
    for (const char* p = end; *p; ++p)
        if (*p != ' ' && *p != '\t') unit += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    // Only letters, '%' and a ratio's ":1" count as a unit; anything else is not a value.
    for (char c : unit)
        if (!std::isalpha(static_cast<unsigned char>(c)) && c != '%' && c != ':' && c != '1') return false;
    std::string base;
    const double scale = unitScale(unit, base);
    out.value = v * scale;
    out.unit = base;
    return true;
}

int findParameter(const Plugin& plugin, const std::string& key) {
    const std::string wanted = lower(trim(key));
    if (wanted.empty()) return -1;
    if (isDecimalIndex(wanted)) {
        const int i = std::atoi(wanted.c_str());
        return i < plugin.numParams() ? i : -1;
    }
    for (int i = 0; i < plugin.numParams(); ++i)
        if (lower(trim(plugin.paramName(i))) == wanted) return i;
    return -1;
}

std::string parameterNames(const Plugin& plugin) {
    std::string out;
    std::set<std::string> seen;
    for (int i = 0; i < plugin.numParams(); ++i) {
        const std::string name = trim(plugin.paramName(i));
        if (name.empty() || name == "-" || !seen.insert(lower(name)).second) continue;
        out += (out.empty() ? "" : ", ") + name;
    }
    return out;
}

std::string bareNumberNote(const Plugin& plugin, int index, const std::string& key, const std::string& text) {
    double number;
    if (!parseWholeNumber(trim(text), number)) return std::string();
    const std::string shown = trim(plugin.paramDisplay(index)) + trim(plugin.paramLabel(index));
    UnitValue value;
    if (!parseUnitValue(shown, value) || value.unit.empty()) return std::string();
    // The unit as the display writes it ("dB", "ms", ":1"), for the suggestion.
    const char* begin = shown.c_str();
    char* end = nullptr;
    std::strtod(begin, &end);
    std::string unit;
    for (const char* p = end; *p; ++p)
        if (*p != ' ' && *p != '\t') unit += *p;
    const char* kind = value.unit == "db"   ? "a level"
                       : value.unit == "s"  ? "a time"
                       : value.unit == "hz" ? "a frequency"
                       : value.unit == "%"  ? "a percentage"
                       : value.unit == ":1" ? "a ratio"
                                            : "a value in its unit";
    char position[32];
    std::snprintf(position, sizeof position, "%.4g", number);
    std::string positionText = position;
    if (positionText.find_first_of(".e") == std::string::npos) positionText += ".0";
    const std::string typed = trim(text);
    const std::string suggestion = value.unit == ":1" ? typed + ":1" : typed + unit;
    return trim(key) + "=" + typed + " is the position " + positionText + " (" + shown + "); write " + suggestion +
           " for " + kind;
}

bool normalisedValue(const Plugin& plugin, int index, const std::string& rawText, float& value, std::string& error) {
    const std::string text = trim(rawText);
    const std::string name = trim(plugin.paramName(index));
    double number;
    if (parseWholeNumber(text, number)) {
        if (number < 0.0 || number > 1.0) {
            error = "value out of range for " + name + ": " + text +
                    " (a plain number is the 0..1 value; give a unit for the displayed value, e.g. " +
                    trim(plugin.paramDisplay(index)) + ")";
            return false;
        }
        value = static_cast<float>(number);
        return true;
    }
    UnitValue wanted;
    const bool hasNumber = parseUnitValue(text, wanted);

    // The parameter's displays over its whole travel. Searching through them needs only the
    // plug-in's own text, so it works for any plug-in, whatever its value laws.
    const float original = plugin.getParameter(index);
    constexpr int kSteps = 200;
    std::vector<Sample> samples;
    for (int i = 0; i <= kSteps; ++i) {
        Sample s{static_cast<float>(i) / kSteps, displayAt(plugin, index, static_cast<float>(i) / kSteps), false, {}};
        s.numeric = parseUnitValue(s.display, s.value);
        samples.push_back(s);
    }
    auto restore = [&] { plugin.setParameter(index, original); };

    if (!hasNumber) {
        // The run of positions that show the text: a run at either end of the travel gives that
        // end (a switch's "On" is 1, "Off" is 0); one in between gives its middle.
        int first = -1, last = -1;
        for (int i = 0; i <= kSteps; ++i) {
            if (lower(samples[i].display) != lower(text)) {
                if (first >= 0) break;
                continue;
            }
            if (first < 0) first = i;
            last = i;
        }
        if (first >= 0) {
            restore();
            value = first == 0 ? 0.0f : last == kSteps ? 1.0f : samples[(first + last) / 2].position;
            return true;
        }
        // A two-state parameter takes on/off whatever its two displays say ("Off" and its name).
        std::set<std::string> states;
        for (const Sample& s : samples) states.insert(s.display);
        const std::string word = lower(text);
        if (states.size() == 2 && (word == "on" || word == "off")) {
            restore();
            value = word == "on" ? 1.0f : 0.0f;
            return true;
        }
        restore();
        std::string shown;
        std::set<std::string> seen;
        for (const Sample& s : samples)
            if (seen.insert(s.display).second && seen.size() <= 8) shown += (shown.empty() ? "" : ", ") + s.display;
        error = "no value \"" + text + "\" for " + name + " (it shows: " + shown + (seen.size() > 8 ? ", ..." : "") + ")";
        return false;
    }

    bool unitSeen = false;
    double low = INFINITY, high = -INFINITY;
    std::string lowText, highText;
    for (const Sample& s : samples)
        if (s.numeric && s.value.unit == wanted.unit) {
            unitSeen = true;
            if (s.value.value < low) low = s.value.value, lowText = s.display;
            if (s.value.value > high) high = s.value.value, highText = s.display;
        }
    if (!unitSeen) {
        restore();
        error = name + " is not set in that unit: " + text + " (it shows " + trim(plugin.paramDisplay(index)) + ")";
        return false;
    }

    // Bisect each neighbouring pair of samples that brackets the wanted value; keep the position
    // whose display comes closest.
    double bestDistance = INFINITY;
    float best = original;
    std::string bestText;
    double tolerance = 0.0;
    auto measure = [&](float position) -> double {
        UnitValue v;
        const std::string d = displayAt(plugin, index, position);
        if (!parseUnitValue(d, v) || v.unit != wanted.unit) return NAN;
        const double distance = std::fabs(v.value - wanted.value);
        if (distance < bestDistance) {
            std::string base;
            std::string rawUnit;
            for (char c : d)
                if (std::isalpha(static_cast<unsigned char>(c))) rawUnit += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            bestDistance = distance;
            best = position;
            bestText = d;
            tolerance = displayResolution(d, unitScale(rawUnit, base));
        }
        return v.value - wanted.value;
    };
    for (int i = 0; i < kSteps; ++i) {
        const Sample& a = samples[i];
        const Sample& b = samples[i + 1];
        if (!a.numeric || !b.numeric || a.value.unit != wanted.unit || b.value.unit != wanted.unit) continue;
        const double da = a.value.value - wanted.value, db = b.value.value - wanted.value;
        if (da * db > 0.0) continue;
        float lo = a.position, hi = b.position;
        double dlo = measure(lo);
        measure(hi);
        for (int k = 0; k < 30 && hi - lo > 1e-7f; ++k) {
            const float mid = 0.5f * (lo + hi);
            const double dm = measure(mid);
            if (std::isnan(dm)) break;
            if ((dm <= 0.0) == (dlo <= 0.0)) {
                lo = mid;
                dlo = dm;
            } else {
                hi = mid;
            }
        }
    }
    restore();
    if (bestDistance == INFINITY) {
        char range[160];
        std::snprintf(range, sizeof range, "%s to %s", low <= high ? lowText.c_str() : "?", highText.c_str());
        error = "value out of range for " + name + ": " + text + " (" + range + ")";
        return false;
    }
    if (bestDistance > tolerance) {
        error = "no value " + text + " for " + name + " (nearest: " + bestText + ")";
        return false;
    }
    value = best;
    return true;
}

}  // namespace orvhost
