// One drag step in the logo dialog's preview, from the mouse-move event to the repainted
// preview, with the worked-example layout on the built-in background: the move event goes
// to the preview, the current layer moves, the work image is redrawn and the preview
// paints it. The goal is well under 2 ms per step, so a drag follows the mouse at any speed.
//   QT_QPA_PLATFORM=offscreen build/bin/bench_drag --benchmark_repetitions=10
//       --benchmark_report_aggregates_only=true    (one command line)
#include "logo/ui/shopdlg.h"
#include "platform/fonts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <benchmark/benchmark.h>

namespace {

void pick(CShopDlg &dlg, int id, const char *text)
{
    auto *list = dlg.item<QComboBox>(id);
    const int i = list->findText(QString::fromUtf8(text));
    list->setCurrentIndex(i);
    emit list->activated(i);
}

void BM_DragStepToRepaintedPreview(benchmark::State &state)
{
    CShopDlg dlg(VenderSession{}, false);
    dlg.create();
    dlg.show();
    dlg.item<QPlainTextEdit>(CShopDlg::IDC_SHOPNAME_EDIT)->setPlainText(QString::fromUtf8("中央商店\n本店"));
    pick(dlg, CShopDlg::IDC_SIZE, "40");
    dlg.MoveCurrentLayer(8, 4);
    dlg.item<QAbstractButton>(CShopDlg::IDC_TEL_RADIO)->click();
    dlg.item<QPlainTextEdit>(CShopDlg::IDC_TEL_EDIT)->setPlainText(QStringLiteral("TEL 000-000-0000"));
    pick(dlg, CShopDlg::IDC_SIZE, "20");
    dlg.MoveCurrentLayer(8, 90);
    dlg.item<QAbstractButton>(CShopDlg::IDC_SHOPNAME_RADIO)->click();

    CCanvasDlg &canvas = dlg.Canvas();
    canvas.repaint();
    QApplication::processEvents();
    int step = 0;
    for (auto _ : state) {
        // Back and forth over 32 dots, one dot per step.
        const int x = 100 + ((step / 32) % 2 ? 32 - step % 32 : step % 32);
        ++step;
        const QPointF pos(x, 60);
        QMouseEvent move(QEvent::MouseMove, pos, canvas.mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&canvas, &move);
        canvas.repaint(); // the paint the move asked for, now
    }
    dlg.destroyWindow();
}
BENCHMARK(BM_DragStepToRepaintedPreview)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
