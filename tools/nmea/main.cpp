// satview-nmea: reads NMEA 0183 from a file or standard input through Satview's decoder and
// prints what it makes of it as gpsd's JSON reports (TPV and SKY lines), or as a GPX track.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "log_reader.h"
#include "log_track.h"
#include "nmea_json.h"

namespace {

const char* const kFooter =
    "Each fix is told once its epoch (the sentences of one receiver time) is over, with what\n"
    "the whole epoch said: a TPV line with mode, time, lat, lon, altHAE (where the geoid's\n"
    "separation is given) and altMSL, speed (m/s), track, and the error estimates epx, epy,\n"
    "eph and epv only where the receiver sent GST. Each complete view of the sky (a GSV run\n"
    "whose parts all came) is a SKY line: hdop, vdop, pdop, nSat, uSat and the satellites\n"
    "with PRN, gnssid, svid, el, az, ss (the strongest of a satellite's signals) and used,\n"
    "numbered as gpsd numbers them (gnssid 0 GPS, 1 SBAS, 2 Galileo, 3 BeiDou, 5 QZSS,\n"
    "6 GLONASS, 7 NavIC with PRN 801-814).\n"
    "\n"
    "Sentences with a wrong checksum or fields that cannot be read are counted on standard\n"
    "error and skipped.\n"
    "\n"
    "Exit status: 0 when the log was read, 1 when it cannot be read (or, with --gpx, holds no\n"
    "fix with a date), 2 for a wrong command line.";

}  // namespace

int main(int argc, char** argv) {
    std::string path = "-";
    bool gpx = false;
    CLI::App app{
        "Decodes an NMEA 0183 log as Satview does: gpsd's TPV and SKY reports, one "
        "JSON object a line, or a GPX track."};
    app.footer(kFooter);
    app.set_version_flag("--version", "satview-nmea " SATVIEW_VERSION);
    app.add_option("file", path, "the NMEA log; - or none: standard input");
    app.add_flag("--gpx", gpx, "print the fixes as a GPX 1.1 track instead");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end well; anything else is a wrong command line.
        return app.exit(e) == 0 ? 0 : 2;
    }

    FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        std::fprintf(stderr, "satview-nmea: cannot read %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return 1;
    }
    nmealog::LogTrack track;
    nmealog::LogReader::Sinks sinks;
    if (gpx) {
        sinks.fix = [&](const devicemgr::GpsFix& fix) { track.Add(fix); };
    } else {
        sinks.fix = [](const devicemgr::GpsFix& fix) {
            std::cout << nmealog::TpvJson(fix) << '\n';
        };
        sinks.sky = [](const devicemgr::SkyView& view) {
            std::cout << nmealog::SkyJson(view) << '\n';
        };
    }
    nmealog::LogReader reader(sinks);
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) reader.Feed({buffer, n});
    bool failed = std::ferror(in) != 0;
    int error = errno;
    if (in != stdin) std::fclose(in);
    if (failed) {
        std::fprintf(stderr, "satview-nmea: cannot read %s: %s\n", path.c_str(),
                     std::strerror(error));
        return 1;
    }
    reader.Finish();

    const devicemgr::NmeaCounters& c = reader.Counters();
    uint64_t dropped = c.badChecksum + c.malformed + reader.Discarded();
    if (dropped > 0) {
        std::fprintf(stderr,
                     "satview-nmea: %llu sentences skipped (%llu wrong checksums, %llu "
                     "unreadable, %llu cut short or not text)\n",
                     static_cast<unsigned long long>(dropped),
                     static_cast<unsigned long long>(c.badChecksum),
                     static_cast<unsigned long long>(c.malformed),
                     static_cast<unsigned long long>(reader.Discarded()));
    }
    if (gpx) {
        if (track.Empty()) {
            std::fprintf(stderr, "satview-nmea: %s holds no fix with a date: no track\n",
                         path.c_str());
            return 1;
        }
        std::cout << track.Document(reader.FirstFixAfter());
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}
