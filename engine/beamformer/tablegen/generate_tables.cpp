// Writes the beamformer's read-only tables (see tables/beamformer_tables.h)
// as a C++ source file, from the design code.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "beamformer/design/array_geometry.h"
#include "beamformer/design/crossover_eq.h"
#include "beamformer/design/encoder.h"
#include "beamformer/design/modal_design.h"
#include "beamformer/design/pattern_catalogue.h"
#include "beamformer/design/radial_biquads.h"
#include "beamformer/design/radial_equaliser.h"
#include "beamformer/design/triangle_correction.h"

using namespace orvelan::design;

namespace {

std::string floatLiteral(double v)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<float>(v));
    const bool integral = std::string(buffer).find_first_of(".eEn") == std::string::npos;
    return std::string(buffer) + (integral ? ".0f" : "f");
}

std::string doubleLiteral(double v)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    std::string s = buffer;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

template <typename T, typename Format>
void writeList(std::ostream& out, const std::vector<T>& values, Format format)
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        out << format(values[i]) << ',';
        out << ((i % 8 == 7) ? "\n" : " ");
    }
    out << '\n';
}

void writeFloats(std::ostream& out, const std::string& declaration, const std::vector<double>& values)
{
    out << declaration << " = {\n";
    writeList(out, values, floatLiteral);
    out << "};\n\n";
}

void writeInts(std::ostream& out, const std::string& declaration, const std::vector<std::int32_t>& values)
{
    out << declaration << " = {\n";
    writeList(out, values, [](std::int32_t v) { return std::to_string(v); });
    out << "};\n\n";
}

// Per order a section count and a list of sections, the lists named
// <listPrefix>Order<n>, and the table of pointers to them.
void writeBiquadSet(std::ostream& out, const RadialBiquadSet& set, const std::string& countsName,
                    const std::string& listPrefix, const std::string& tableName)
{
    out << "const std::int32_t " << countsName << "[kOrderCount] = {";
    for (int n = 0; n <= kMaxOrder; ++n) out << set.sectionCounts[n] << (n < kMaxOrder ? ", " : "};\n");
    for (int n = 0; n <= kMaxOrder; ++n) {
        std::vector<double> values;
        for (int s = 0; s < set.sectionCounts[n]; ++s) {
            const BiquadSection& q = set.sections[n][s];
            values.insert(values.end(), {q.b0, q.b1, q.b2, q.a0, q.a1, q.a2});
        }
        out << "static const double " << listPrefix << "Order" << n << "[] = {\n";
        writeList(out, values, doubleLiteral);
        out << "};\n";
    }
    out << "const double* const " << tableName << "[kOrderCount] = {";
    for (int n = 0; n <= kMaxOrder; ++n) out << listPrefix << "Order" << n << (n < kMaxOrder ? ", " : "};\n\n");
}

void writeRadialFirs(std::ostream& out)
{
    const RadialEqualiser& equaliser = modeOneRadialEqualiser();
    std::vector<std::int32_t> lengths, delays;
    for (int n = 0; n <= kMaxOrder; ++n) {
        lengths.push_back(static_cast<std::int32_t>(equaliser.firTaps[n].size()));
        delays.push_back(radialAlignmentDelay(n));
        writeFloats(out, "static const float radialFirOrder" + std::to_string(n) + "[]", equaliser.firTaps[n]);
    }
    out << "const float* const kRadialFirTaps[kOrderCount] = {radialFirOrder0, radialFirOrder1, radialFirOrder2, "
           "radialFirOrder3};\n";
    writeInts(out, "const std::int32_t kRadialFirLengths[kOrderCount]", lengths);
    writeInts(out, "const std::int32_t kRadialAlignmentDelays[kOrderCount]", delays);
    out << "const std::int32_t kRadialFirLatency = " << kRadialFirLatency << ";\n\n";
}

void writeDecomposition(std::ostream& out)
{
    const Matrix<double> e = designEncoderMatrix();
    out << "const float kEncoderMatrix[kComponentCount][kCapsuleCount] = {\n";
    for (int k = 0; k < kComponentCount; ++k) {
        std::vector<double> row;
        for (int c = 0; c < kCapsuleCount; ++c) row.push_back(e(k, c));
        out << "{\n";
        writeList(out, row, floatLiteral);
        out << "},\n";
    }
    out << "};\n\n";

    writeBiquadSet(out, modeZeroRadialBiquads(), "kRadialSectionCounts", "radialSections", "kRadialSections");
    writeBiquadSet(out, modeOneRadialEqualiser().biquads, "kModeOneRadialSectionCounts", "modeOneRadialSections",
                   "kModeOneRadialSections");
    writeRadialFirs(out);
}

void writeSteering(std::ostream& out)
{
    out << "const float kElevationTable[kComponentCount][kGridRows] = {\n";
    for (int k = 0; k < kComponentCount; ++k) {
        std::vector<double> row;
        for (int t = 0; t < kGridRows; ++t) row.push_back(elevationFactor(k, t));
        out << "{\n";
        writeList(out, row, floatLiteral);
        out << "},\n";
    }
    out << "};\n\n";
    out << "const float kAzimuthTable[6][360] = {\n";
    for (int row = 0; row < 6; ++row) {
        const int j = row / 2 + 1;
        std::vector<double> values;
        for (int p = 0; p < 360; ++p) {
            const double a = j * p * 3.14159265358979323846 / 180.0;
            values.push_back(2.0 * (row % 2 == 0 ? std::sin(a) : std::cos(a)));
        }
        out << "{\n";
        writeList(out, values, floatLiteral);
        out << "},\n";
    }
    out << "};\n\n";
}

void writeGrids(std::ostream& out)
{
    writeInts(out, "const std::int32_t kNearestCapsuleGrid[kGridRows * kGridColumns]", nearestCapsuleGrid());
    writeInts(out, "const std::int32_t kTriangleGrid[kGridRows * kGridColumns]", triangleGrid());
    writeInts(out, "const std::int32_t kTriangleTable[3 * kTriangleCount]", triangleTableByMember());
    out << "static_assert(kTriangleCorrectionLength == " << kTriangleCorrectionLength << ");\n";
    writeFloats(out, "const float kTriangleCorrectionTaps[kTriangleCorrectionLength]", triangleCorrectionTaps());
    writeFloats(out, "const float kTriangleCorrectionWeights[kGridRows * kGridColumns]",
                triangleCorrectionWeightGrid());
}

void writePattern(std::ostream& out, int index)
{
    const PatternDesign& patternDesign = patternCatalogue()[index];
    const std::string p = "pattern" + std::to_string(index);
    const int variants = static_cast<int>(patternDesign.variantValues.size());
    const CrossoverPair crossover = designCrossover(patternDesign);

    std::vector<double> modal, curves, eq;
    std::vector<std::int32_t> tapCounts, eqLengths;
    for (int v = 0; v < variants; ++v) {
        const ModalFilters filters = designModalFilters(patternDesign, v);
        for (int n = 0; n <= kMaxOrder; ++n) {
            std::vector<double> row = filters.taps[n];
            tapCounts.push_back(static_cast<std::int32_t>(row.size()));
            row.resize(patternDesign.modalLength, 0.0);
            modal.insert(modal.end(), row.begin(), row.end());
        }
        const std::vector<float> curve = designedPolarCurve(patternDesign, filters);
        curves.insert(curves.end(), curve.begin(), curve.end());
        const std::vector<double> eqTaps = designEq(patternDesign, filters, crossover);
        eq.insert(eq.end(), eqTaps.begin(), eqTaps.end());
        eqLengths.push_back(kEqLength);
    }
    writeFloats(out, "static const float " + p + "ModalTaps[]", modal);
    writeInts(out, "static const std::int32_t " + p + "TapCounts[]", tapCounts);
    writeInts(out, "static const std::int32_t " + p + "VariantValues[]",
              std::vector<std::int32_t>(patternDesign.variantValues.begin(), patternDesign.variantValues.end()));
    writeInts(out, "static const std::int32_t " + p + "BeamWidths[]",
              std::vector<std::int32_t>(patternDesign.beamWidths.begin(), patternDesign.beamWidths.end()));
    writeFloats(out, "static const float " + p + "Curves[]", curves);
    writeFloats(out, "static const float " + p + "EqTaps[]", eq);
    writeInts(out, "static const std::int32_t " + p + "EqLengths[]", eqLengths);
    writeFloats(out, "static const float " + p + "CrossoverLowPass[]", crossover.lowPass);
    writeFloats(out, "static const float " + p + "CrossoverHighPass[]", crossover.highPass);
}

void writePatternRecords(std::ostream& out)
{
    for (int i = 0; i < kPatternCount; ++i) writePattern(out, i);
    out << "const PatternTable kPatterns[kPatternCount] = {\n";
    for (int i = 0; i < kPatternCount; ++i) {
        const PatternDesign& patternDesign = patternCatalogue()[i];
        const std::string p = "pattern" + std::to_string(i);
        out << "    {\"" << patternDesign.name << "\", " << patternDesign.code << ", \"" << patternDesign.description << "\", "
            << patternDesign.variantValues.size() << ", " << patternDesign.modalLength << ", " << kEqLength << ", " << kCurvePoints
            << ", " << patternDesign.crossoverLength << ", " << patternDesign.hfMode << ",\n     " << p << "ModalTaps, " << p
            << "TapCounts, " << p << "VariantValues, " << p << "BeamWidths, " << p << "Curves, " << p << "EqTaps, "
            << p << "EqLengths, " << p << "CrossoverLowPass, " << p << "CrossoverHighPass},\n";
    }
    out << "};\n";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " output.cpp\n";
        return 2;
    }
    std::ostringstream out;
    out << "// Generated by orvelan_beamformer_tablegen; do not edit.\n"
           "#include \"beamformer/tables/beamformer_tables.h\"\n\n"
           "namespace orvelan::beamformer::tables {\n\n";
    writeDecomposition(out);
    writeSteering(out);
    writeGrids(out);
    writePatternRecords(out);
    out << "\n}  // namespace orvelan::beamformer::tables\n";
    std::ofstream file(argv[1]);
    file << out.str();
    return file.good() ? 0 : 1;
}
