#include "orbitpane/win32/sky_texts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "framework/devicemgr/gnss_systems.h"
#include "orbitpane/win32/gps_fix_rows.h"

namespace orbitpane {
namespace {

namespace gnss = devicemgr::gnss;

std::wstring OneDecimal(double value) {
    char buffer[32];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    if (ec != std::errc()) return {};
    return std::wstring(buffer, end);
}

// `pattern` with %1 and %2 replaced.
std::wstring Fill(std::wstring pattern, const std::wstring& first, const std::wstring& second) {
    for (auto [mark, value] : {std::pair{L"%1", &first}, std::pair{L"%2", &second}}) {
        if (size_t at = pattern.find(mark); at != std::wstring::npos) {
            pattern.replace(at, 2, *value);
        }
    }
    return pattern;
}

constexpr const wchar_t* kDot = L" \u00B7 ";

}  // namespace

std::wstring SystemName(int gnssid, const TextOf& text) {
    static const wchar_t* const kKeys[gnss::kSystems] = {
        L"IDS_GNSS_GPS",  L"IDS_GNSS_SBAS", L"IDS_GNSS_GALILEO", L"IDS_GNSS_BEIDOU",
        L"IDS_GNSS_IMES", L"IDS_GNSS_QZSS", L"IDS_GNSS_GLONASS", L"IDS_GNSS_NAVIC",
    };
    if (gnssid < 0 || gnssid >= gnss::kSystems) return L"?";
    return text(kKeys[gnssid]);
}

std::wstring SkyCounts(const framework::GpsSkyRecord& sky, const TextOf& text) {
    struct Count {
        int seen = 0, used = 0;
    };
    std::map<int, std::pair<int, Count>> bySystem;  // by rank: gnssid, counts
    Count all;
    for (int i = 0; i < sky.count; ++i) {
        const framework::GpsSkySatellite& s = sky.satellites[i];
        auto& [gnssid, count] = bySystem[gnss::DisplayRank(s.gnssid)];
        gnssid = s.gnssid;
        ++count.seen;
        ++all.seen;
        count.used += s.used;
        all.used += s.used;
    }
    std::wstring line;
    for (const auto& [rank, entry] : bySystem) {
        line += SystemName(entry.first, text) + L" " + std::to_wstring(entry.second.seen) + L"/" +
                std::to_wstring(entry.second.used) + kDot;
    }
    return line + text(L"IDS_SKY_ALL") + L" " + std::to_wstring(all.seen) + L"/" +
           std::to_wstring(all.used);
}

std::wstring SkyDops(const framework::GpsSkyRecord& sky) {
    std::wstring line;
    auto add = [&](bool known, const wchar_t* name, double value) {
        if (!known || !std::isfinite(value)) return;
        if (!line.empty()) line += kDot;
        line += std::wstring(name) + L" " + OneDecimal(value);
    };
    add(sky.pdopKnown, L"PDOP", sky.pdop);
    add(sky.hdopKnown, L"HDOP", sky.hdop);
    add(sky.vdopKnown, L"VDOP", sky.vdop);
    return line;
}

std::wstring SkyError(const framework::GpsSkyRecord& sky, const TextOf& text) {
    bool horizontal = sky.latitudeErrorKnown && sky.longitudeErrorKnown;
    if (!horizontal && !sky.altitudeErrorKnown) return text(L"IDS_SKY_NO_ERROR");
    std::wstring h = horizontal
                         ? OneDecimal(std::hypot(sky.latitudeErrorMetres, sky.longitudeErrorMetres))
                         : L"?";
    std::wstring v = sky.altitudeErrorKnown ? OneDecimal(sky.altitudeErrorMetres) : L"?";
    return Fill(text(L"IDS_SKY_ERROR"), h, v);
}

std::wstring FirstFixLine(bool running, std::optional<std::chrono::milliseconds> after,
                          const TextOf& text) {
    if (after) return text(L"IDS_LST_ITEM_FIRSTFIX") + L" " + SecondsText(*after, text);
    return text(running ? L"IDS_SKY_SEARCHING" : L"IDS_SKY_NO_SESSION");
}

std::wstring SignalBar(int snr, int cells) {
    static const wchar_t kEighths[] = L" \u258F\u258E\u258D\u258C\u258B\u258A\u2589";
    int eighths = std::clamp(snr, 0, kFullSignal) * cells * 8 / kFullSignal;
    std::wstring bar(static_cast<size_t>(eighths / 8), L'\u2588');
    if (eighths % 8) bar += kEighths[eighths % 8];
    bar.resize(static_cast<size_t>(cells), L' ');
    return bar;
}

std::vector<SkyRow> SkyRows(const framework::GpsSkyRecord& sky, int barCells, const TextOf& text) {
    std::vector<SkyRow> rows;
    const std::wstring usedText = text(L"IDS_SKY_USED");
    for (int i = 0; i < sky.count; ++i) {
        const framework::GpsSkySatellite& s = sky.satellites[i];
        SkyRow row;
        row.gnssid = s.gnssid;
        row.svid = s.svid;
        row.used = s.used;
        row.system = SystemName(s.gnssid, text);
        row.number = std::to_wstring(s.svid);
        if (s.elevationKnown) row.elevation = std::to_wstring(s.elevation) + L"\u00B0";
        if (s.azimuthKnown) row.azimuth = std::to_wstring(s.azimuth) + L"\u00B0";
        if (s.snrKnown) {
            row.snr = s.snr;
            row.signal = SignalBar(s.snr, barCells) + L" " + std::to_wstring(s.snr);
        }
        if (s.used) row.usedText = usedText;
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), [](const SkyRow& a, const SkyRow& b) {
        int ra = gnss::DisplayRank(a.gnssid), rb = gnss::DisplayRank(b.gnssid);
        return ra != rb ? ra < rb : a.svid < b.svid;
    });
    return rows;
}

}  // namespace orbitpane

namespace orbitpane {

ui::MarkShape SystemShape(int gnssid) {
    switch (gnssid) {
        case gnss::kGps:
            return ui::MarkShape::Circle;
        case gnss::kGlonass:
            return ui::MarkShape::Square;
        case gnss::kGalileo:
            return ui::MarkShape::Triangle;
        case gnss::kBeiDou:
            return ui::MarkShape::Diamond;
        case gnss::kQzss:
            return ui::MarkShape::Star;
        case gnss::kNavic:
            return ui::MarkShape::DownTriangle;
        default:
            return ui::MarkShape::Cross;
    }
}

std::uint32_t SystemColour(int gnssid) {
    switch (gnssid) {
        case gnss::kGps:
            return 0x1F77B4;  // blue
        case gnss::kGlonass:
            return 0xD62728;  // red
        case gnss::kGalileo:
            return 0x2CA02C;  // green
        case gnss::kBeiDou:
            return 0xFF7F0E;  // orange
        case gnss::kQzss:
            return 0x9467BD;  // purple
        case gnss::kNavic:
            return 0x8C564B;  // brown
        default:
            return 0x7F7F7F;  // grey
    }
}

namespace {

// The satellites in display order, as the table lists them.
std::vector<const framework::GpsSkySatellite*> Ordered(const framework::GpsSkyRecord& sky) {
    std::vector<const framework::GpsSkySatellite*> list;
    for (int i = 0; i < sky.count; ++i) list.push_back(&sky.satellites[i]);
    std::stable_sort(list.begin(), list.end(), [](auto* a, auto* b) {
        int ra = gnss::DisplayRank(a->gnssid), rb = gnss::DisplayRank(b->gnssid);
        return ra != rb ? ra < rb : a->svid < b->svid;
    });
    return list;
}

}  // namespace

std::vector<ui::PlotMark> SkyMarks(const framework::GpsSkyRecord& sky) {
    std::vector<ui::PlotMark> marks;
    for (const framework::GpsSkySatellite* s : Ordered(sky)) {
        if (!s->elevationKnown || !s->azimuthKnown) continue;
        ui::PlotMark mark;
        mark.azimuth = s->azimuth;
        mark.elevation = s->elevation;
        mark.shape = SystemShape(s->gnssid);
        mark.colour = SystemColour(s->gnssid);
        mark.filled = s->used;
        mark.label = std::to_wstring(s->svid);
        marks.push_back(mark);
    }
    return marks;
}

std::vector<ui::LegendEntry> SkyLegend(const framework::GpsSkyRecord& sky, const TextOf& text) {
    std::vector<ui::LegendEntry> legend;
    int last = -1;
    for (const framework::GpsSkySatellite* s : Ordered(sky)) {
        if (s->gnssid == last) continue;
        last = s->gnssid;
        legend.push_back(
            {SystemShape(s->gnssid), SystemColour(s->gnssid), SystemName(s->gnssid, text)});
    }
    return legend;
}

std::vector<ui::ChartBar> SkyBars(const framework::GpsSkyRecord& sky, const TextOf& text) {
    std::vector<ui::ChartBar> bars;
    for (const framework::GpsSkySatellite* s : Ordered(sky)) {
        if (!s->snrKnown) continue;
        ui::ChartBar bar;
        bar.group = SystemName(s->gnssid, text);
        bar.label = std::to_wstring(s->svid);
        bar.value = s->snr;
        bar.colour = SystemColour(s->gnssid);
        bar.marked = s->used;
        bars.push_back(std::move(bar));
    }
    return bars;
}

}  // namespace orbitpane
