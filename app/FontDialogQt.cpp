#include "app/FontDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPixmap>

#include "components/QtColor.h"

using namespace Qt::Literals::StringLiterals;

namespace app {
namespace {

using components::TColor;

struct NamedColor {
    TColor code;
    const char16_t* name;
};

// The sixteen colours of the Windows font dialog, in its order and with its
// Russian names.
constexpr NamedColor kStandardColors[] = {
    {0x000000, u"Черный"},      {0x000080, u"Бордовый"},   {0x008000, u"Зеленый"},       {0x008080, u"Оливковый"},
    {0x800000, u"Темно-синий"}, {0x800080, u"Фиолетовый"}, {0x808000, u"Сине-зеленый"},  {0x808080, u"Серый"},
    {0xC0C0C0, u"Серебряный"},  {0x0000FF, u"Красный"},    {0x00FF00, u"Лайм"},          {0x00FFFF, u"Желтый"},
    {0xFF0000, u"Синий"},       {0xFF00FF, u"Фуксия"},     {0xFFFF00, u"Морская волна"}, {0xFFFFFF, u"Белый"},
};

// The colour choice: the standard colours, the preset when it is none of
// them, and "Другой…" last, which opens the colour dialog for any colour.
class ColourChoice final : public QComboBox {
public:
    ColourChoice(TColor preset, QWidget* parent) : QComboBox(parent) {
        setObjectName(u"fontColorBox"_s);
        for (const NamedColor& c : kStandardColors) Add(c.code, QString::fromUtf16(c.name));
        if (findData(preset) < 0) Add(preset, u"Текущий"_s);
        addItem(u"Другой…"_s);
        chosen_ = findData(preset);
        setCurrentIndex(chosen_);
        connect(this, &QComboBox::activated, this, [this](int index) { Picked(index); });
    }

    TColor Code() const { return itemData(chosen_).toInt(); }

private:
    void Add(TColor code, const QString& name) {
        QPixmap swatch(24, 12);
        swatch.fill(components::ToQColor(code, QApplication::palette()));
        // Before "Другой…" once that is there.
        const int other = findText(u"Другой…"_s);
        insertItem(other >= 0 ? other : count(), QIcon(swatch), name, code);
    }

    void Picked(int index) {
        if (itemData(index).isValid()) {
            chosen_ = index;
            return;
        }
        const QColor picked = QColorDialog::getColor(components::ToQColor(Code(), QApplication::palette()), this);
        if (picked.isValid()) {
            const TColor code = components::FromQColor(picked);
            if (findData(code) < 0) Add(code, picked.name());
            chosen_ = findData(code);
        }
        setCurrentIndex(chosen_);
    }

    int chosen_ = 0;
};

// Where the Windows dialog has it: with the effects (strike-out, underline).
void PlaceWithTheEffects(QFontDialog& dialog, ColourChoice& choice) {
    auto* label = new QLabel(u"Цвет:"_s, &dialog);
    label->setBuddy(&choice);
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
        if (group->findChild<QCheckBox*>() && group->layout()) {
            label->setParent(group);
            choice.setParent(group);
            group->layout()->addWidget(label);
            group->layout()->addWidget(&choice);
            return;
        }
    }
    dialog.layout()->addWidget(label);
    dialog.layout()->addWidget(&choice);
}

} // namespace

std::optional<FontChoice> ChooseFontNative(QWidget* owner, const QFont& preset, TColor color) {
    QFontDialog dialog(preset, owner);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    auto* choice = new ColourChoice(color, &dialog);
    PlaceWithTheEffects(dialog, *choice);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return FontChoice{dialog.selectedFont(), choice->Code()};
}

} // namespace app
