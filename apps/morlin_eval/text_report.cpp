// The report as lines of text.
#include "text_report.h"

#include <cstdio>

namespace {

std::string Rate(const std::optional<double>& value) {
    if (!value) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", *value);
    return text;
}

void WriteSearch(const SearchResult& s) {
    const bool identification = s.goal == SearchGoal::Identification;
    if (identification)
        std::printf(
            "search                %zu settings by FNIR at FPIR %g (people left out, "
            "gallery folds) in %.1f s; the best:\n",
            s.settings, s.fpirTarget, s.seconds);
    else
        std::printf(
            "search                %zu settings on %zu gallery folds in %.1f s; the best:\n",
            s.settings, s.top.empty() ? 0 : s.top.front().foldRank1.size(), s.seconds);
    for (size_t i = 0; i < s.top.size(); ++i) {
        std::string folds;
        for (double r : s.top[i].foldRank1) folds += " " + Rate(r).substr(0, 5);
        if (identification)
            std::printf("  %zu. FNIR %s, rank-1 %.4f  %s\n", i + 1,
                        Rate(s.top[i].fnirAtFpir).c_str(), s.top[i].meanRank1,
                        DescribeSetting(s.top[i].param).c_str());
        else
            std::printf("  %zu. %.4f  (folds%s)  %s\n", i + 1, s.top[i].meanRank1, folds.c_str(),
                        DescribeSetting(s.top[i].param).c_str());
    }
}

void WriteCalibrations(const Report& report) {
    if (report.fmrCalibration) {
        const FmrCalibration& c = *report.fmrCalibration;
        if (c.threshold)
            std::printf(
                "calibration           target FMR %g: threshold %.6g from %zu impostor "
                "comparisons of people left out;\n"
                "                      on the probes FMR %s, FNMR %s\n",
                c.target, *c.threshold, c.impostors, Rate(report.achievedFmr.fmr).c_str(),
                Rate(report.achievedFmr.fnmr).c_str());
        else
            std::printf("calibration           target FMR %g: %s\n", c.target, c.note.c_str());
    }
    if (report.fpirCalibration) {
        const FpirCalibration& c = *report.fpirCalibration;
        if (c.threshold) {
            std::printf(
                "calibration, 1:N      target FPIR %g: threshold %.6g from %zu stranger and %zu "
                "mated gallery searches;\n"
                "                      expected FPIR %s, FNIR %s\n",
                c.target, *c.threshold, c.strangerSearches, c.matedSearches,
                Rate(c.expected.fpir).c_str(), Rate(c.expected.fnir).c_str());
            if (report.openSet)
                std::printf("                      on the probes FPIR %s, FNIR %s\n",
                            Rate(report.achievedFpir.fpir).c_str(),
                            Rate(report.achievedFpir.fnir).c_str());
            if (!c.note.empty()) std::printf("                      %s\n", c.note.c_str());
        } else {
            std::printf("calibration, 1:N      target FPIR %g: %s\n", c.target, c.note.c_str());
        }
    }
}

void WriteIdentification(const Report& report) {
    const OpenSetSearches& s = report.identification;
    const IdentificationRates at = s.At(report.param.threshold);
    std::printf("searches              %zu mated (enrolled people), %zu non-mated (strangers)\n",
                s.Mated(), s.NonMated());
    std::printf("rank-1, mated         %s\n", Rate(s.MatedRank1()).c_str());
    std::printf("FPIR / FNIR           %s / %s at the threshold\n", Rate(at.fpir).c_str(),
                Rate(at.fnir).c_str());
    std::printf("FNIR at FPIR 1/5/10%%  %s / %s / %s\n", Rate(s.FnirAtFpir(0.01)).c_str(),
                Rate(s.FnirAtFpir(0.05)).c_str(), Rate(s.FnirAtFpir(0.10)).c_str());
}

}  // namespace

void WriteTextReport(const Report& report) {
    if (report.search) WriteSearch(*report.search);
    WriteCalibrations(report);
    const Evaluation& e = report.evaluation;
    std::printf("setting               %s, threshold %g\n",
                DescribeSetting(report.Settings()).c_str(), report.param.threshold);
    std::printf("gallery images        %zu\n", report.dataset.gallery.size());
    std::printf("probe images          %zu\n", report.dataset.probes.size());
    std::printf("rank-1 accuracy       %.4f\n", e.rank1);
    std::printf("correct match rate    %.4f\n", e.correctMatchRate);
    std::printf("false match rate      %.4f\n", e.falseMatchRate);
    const SortedComparisons& v = report.verification;
    const ErrorRates at = v.At(report.param.threshold);
    std::printf("comparisons           %zu genuine, %zu impostor\n", v.genuine.size(),
                v.impostor.size());
    std::printf("FMR / FNMR            %s / %s per comparison at the threshold\n",
                Rate(at.fmr).c_str(), Rate(at.fnmr).c_str());
    std::printf("equal error rate      %s\n", Rate(v.EqualErrorRate()).c_str());
    std::printf("FNMR at FMR 1%%        %s\n", Rate(v.FnmrAtFmr(0.01)).c_str());
    std::printf("FNMR at FMR 0.1%%      %s\n", Rate(v.FnmrAtFmr(0.001)).c_str());
    if (report.openSet || report.fpirCalibration) WriteIdentification(report);
    std::printf("training              %.1f ms\n", e.trainMs);
    std::printf("recognition per probe %.3f ms\n", e.probeMs);
}
