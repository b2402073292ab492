// Rendering the worked-example layout (fonts made afresh on every call, as every redraw
// does) and converting the work image into work-file bytes.
//   QT_QPA_PLATFORM=offscreen build/bin/bench_logo --benchmark_repetitions=10
//       --benchmark_report_aggregates_only=true    (one command line)
#include "logo/logorender.h"
#include "logo/workfile.h"
#include "platform/codepage.h"
#include "platform/fonts.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {

std::array<TextLayer, 2> workedExampleLayers()
{
    const std::string mincho = platform::cp932FromUtf8("ＭＳ 明朝");
    return {TextLayer{8, 4, mincho, 40, platform::cp932FromUtf8("中央商店\r\n本店")},
            TextLayer{8, 90, mincho, 20, "TEL 000-000-0000"}};
}

void BM_RenderLogo(benchmark::State &state)
{
    const QImage background = DefaultBackground();
    const auto layers = workedExampleLayers();
    QImage work = CreateWorkImage();
    for (auto _ : state) {
        RenderLogo(work, background, layers);
        benchmark::DoNotOptimize(work.constBits());
    }
}
BENCHMARK(BM_RenderLogo);

// The same drawing as a drag step makes it: the layer moves one dot per call.
void BM_RenderLogoWhileDragging(benchmark::State &state)
{
    const QImage background = DefaultBackground();
    auto layers = workedExampleLayers();
    QImage work = CreateWorkImage();
    int step = 0;
    for (auto _ : state) {
        layers[0].x = 8 + (step++ % 64) - 32;
        RenderLogo(work, background, layers);
        benchmark::DoNotOptimize(work.constBits());
    }
}
BENCHMARK(BM_RenderLogoWhileDragging);

void BM_WorkImageBytes(benchmark::State &state)
{
    QImage work = CreateWorkImage();
    RenderLogo(work, DefaultBackground(), workedExampleLayers());
    for (auto _ : state) {
        std::string bytes = WorkImageBytes(work);
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_WorkImageBytes);

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    platform::installFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
