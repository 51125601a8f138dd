#include "print/printfm.h"

#include <memory>

#include "common/oneline.h"
#include "toolkit/report/previewwindow.h"

namespace note {

const Place Places[ItemCount] = {
    {30.51, 50.68, 12},  {30.51, 75.48, 12},  {30.51, 110.21, 12}, {30.51, 152.21, 12}, {30.51, 257.72, 12},
    {39.43, 55.31, 10},  {39.43, 135.68, 10}, {46.38, 55.31, 10},  {52.99, 55.31, 10},  {58.95, 55.31, 10},
    {65.23, 55.31, 10},  {65.23, 170.73, 10}, {72.84, 183.96, 12}, {106.57, 51.01, 10}, {106.57, 97.97, 10},
    {106.57, 109.88, 10}, {106.57, 271.61, 10},
};

QStringList noteTexts(const JournalRow &row)
{
    using namespace WeighingRecord;
    if (row.isEmpty())
        return QStringList(ItemCount, QString());
    // dd.MM.yyyy: the blank form carries the first three digits of the year.
    const QString date = row[Dat];
    const QString field[] = {
        date.mid(0, 2),
        date.mid(3, 2),
        date.mid(9),
        row[Marcka] + QStringLiteral(", ") + row[N_Avto],
        row[N_List],
        row[AvtoPr],
        row[FIO],
        row[AvtoPr],
        row[Zakazchik],
        row[Gruz_otprav],
        row[Punkt],
        row[Punkt_zagruz],
        row[N_pricepa],
        row[Tovar],
        row[Ed_izm],
        row[Netto],
        row[Netto],
    };
    QStringList texts;
    for (const QString &text : field)
        texts << oneLine(text);
    return texts;
}

report::PageGeometry geometry()
{
    report::PageGeometry g;
    g.paperMm = {210.0, 297.0};
    g.orientation = QPageLayout::Landscape;
    g.marginsMm = {10, 10, 10, 10};
    return g;
}

report::Page layoutPage(const QStringList &texts)
{
    // Each text grows with itself and runs on to the right: the blank form
    // decides how much room there is, not the note.
    report::Page page;
    for (int i = 0; i < ItemCount; ++i)
        page.items.append(report::Item::textAt(Places[i].xMm, Places[i].yMm, texts.value(i), Places[i].pointSize));
    return page;
}

}

printfm::printfm(QObject *parent)
    : QObject(parent), m_report(QStringLiteral("Накладная"), QPageLayout::Landscape),
      m_texts(note::ItemCount, QString())
{
}

void printfm::FillAndPreviewNote(const JournalRow &row, int copies, QWidget *parent)
{
    m_report.setCopies(copies);
    m_texts = note::noteTexts(row);
    m_report.setSource(std::make_shared<report::FixedPages>(note::geometry(),
                                                            QVector<report::Page>{note::layoutPage(m_texts)}));
    m_report.showPreview(parent);
}

void printfm::PrinterSetupClick(QWidget *parent) { m_report.printerSetup(parent); }
