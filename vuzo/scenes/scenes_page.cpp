#include "scenes_page.h"

#include "controls.h"
#include "fonts.h"
#include "lamp_box.h"
#include "message_box.h"
#include "number_field.h"
#include "page_frame.h"
#include "scenes_layout.h"
#include "shape.h"
#include "twips.h"
#include "windows1250.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

using hall::twipsRect;
using namespace scenes_layout;

ScenesPage::ScenesPage(QWidget* parent) : QFrame(parent) {
    hall::setUpPage(this, "Frame1", kPageWidth, kPageHeight);
    QLabel* title = hall::placeLabel(QStringLiteral("KONFIGURACJA SCEN"), twipsRect(2160, 45, 1980, 195), this);
    title->setObjectName(QStringLiteral("Label47"));
    title->setFont(hall::msSansSerif(8.25, true));
    createLampBoxes();
    createSensorMarks();
    createKeyFields();
    createSensorFields();
    saveButton = hall::placeButton("Command1", QStringLiteral("Zapisz"), twipsRect(750, 5550, 1020, 495), this);
    sceneSwitchButton =
        hall::placeButton("Command16", QStringLiteral("Załącz scenę"), twipsRect(1770, 5550, 1020, 495), this);
    connect(saveButton, &QPushButton::clicked, this, &ScenesPage::saveRequested);
    connect(sceneSwitchButton, &QPushButton::clicked, this, &ScenesPage::sceneSwitchRequested);
}

void ScenesPage::createLampBoxes() {
    for (int i = 0; i < hall::kLampCount; ++i) {
        const int row = i / 9;
        const int left = (isShiftedRow(row) ? kShiftedBoxLefts : kBoxLefts)[i % 9];
        const int width = row == 11 ? kLastRowBoxWidth : kBoxWidth;
        auto* box = new LampBox(QString::number(i + 1), this);
        box->setObjectName(QStringLiteral("Check1_%1").arg(i));
        box->setGeometry(twipsRect(left, kBoxTop + kBoxRowStep * row, width, kBoxHeight));
        connect(box, &QCheckBox::stateChanged, this, [this, i, box] { emit lampBoxChanged(i, box->value()); });
        lampBoxes[i] = box;
    }
}

void ScenesPage::createSensorMarks() {
    for (int k = 0; k < hall::kSensorCount; ++k) {
        auto* mark = new hall::Shape(hall::Shape::Kind::Circle, this);
        mark->setObjectName(QStringLiteral("Shape1_%1").arg(k + 9));
        mark->setGeometry(twipsRect(kMarks[k].left, kMarks[k].top, kMarkSide, kMarkSide));
        mark->setFillColor(QColor(0, 128, 0));
        QLabel* label = hall::placeLabel(
            QStringLiteral("C%1").arg(k + 1),
            twipsRect(kMarkLabels[k].left, kMarkLabels[k].top, kMarkLabelWidth, kMarkLabelHeight), this);
        label->setObjectName(QStringLiteral("Label43_%1").arg(k + 9));
        label->setFont(hall::timesNewRoman(8.25));
    }
}

QLineEdit* ScenesPage::createAssignmentField(const QString& accessibleName, const QRect& geometry) {
    auto* field = new QLineEdit(this);
    field->setGeometry(geometry);
    field->setMaxLength(1);
    field->setAlignment(Qt::AlignCenter);
    field->setTextMargins(0, 0, 0, 0);
    field->setAccessibleName(accessibleName);
    field->installEventFilter(this);
    connect(field, &QLineEdit::textChanged, this, [this, field] { applyChangeRule(field); });
    return field;
}

void ScenesPage::createKeyFields() {
    hall::placeLabel(QStringLiteral("klawisz"), twipsRect(5700, 3825, 510, 195), this)
        ->setObjectName(QStringLiteral("Label37"));
    for (int c = 0; c < 4; ++c)
        hall::placeLabel(QString::number(c + 1), twipsRect(kColumnLabelLefts[c], kColumnLabelTop, 90, 195), this)
            ->setObjectName(QStringLiteral("Label35_%1").arg(c));
    for (int r = 0; r < 6; ++r)
        hall::placeLabel(QString(QChar('A' + r)), twipsRect(kRowLabelLeft, kRowLabelTops[r], 105, 195), this)
            ->setObjectName(QStringLiteral("Label36_%1").arg(r));
    for (int i = 0; i < hall::kKeyCount; ++i) {
        const Point at = keyField(i);
        const QString key = QString(QChar('A' + i / 4)) + QString::number(i % 4 + 1);
        keyFields[i] =
            createAssignmentField(QStringLiteral("klawisz ") + key, twipsRect(at.left, at.top, kKeyWidth, kKeyHeight));
        keyFields[i]->setObjectName(QStringLiteral("Text9_%1").arg(i));
    }
    rowMarker = new hall::Shape(hall::Shape::Kind::RoundedRectangle, this);
    rowMarker->setObjectName(QStringLiteral("Shape2"));
    rowMarker->setBorderColor(QColor(0, 0, 255));
    rowMarker->setGeometry(twipsRect(kRowMarkerLeft, kRowMarkerTop, kRowMarkerWidth, kRowMarkerHeight));
    rowMarker->hide();
}

void ScenesPage::createSensorFields() {
    hall::placeLabel(QStringLiteral("czujniki ruchu"), twipsRect(960, 4365, 975, 195), this)
        ->setObjectName(QStringLiteral("Label39"));
    for (int k = 0; k < hall::kSensorCount; ++k) {
        hall::placeLabel(QString::number(k + 1),
                         twipsRect(kInputLabelLefts[k], k == 0 ? kFirstInputLabelTop : kInputLabelTop, 90, 195), this)
            ->setObjectName(QStringLiteral("Label48_%1").arg(k));
        sensorFields[k] = createAssignmentField(QStringLiteral("czujnik %1").arg(k + 1),
                                                twipsRect(kSensorLefts[k], kSensorTop, kSensorWidth, kSensorHeight));
        sensorFields[k]->setObjectName(QStringLiteral("Text10_%1").arg(k));
    }
    hall::placeLabel(QStringLiteral("wejście"), twipsRect(4425, 4935, 525, 195), this)
        ->setObjectName(QStringLiteral("Label38"));
    hall::placeLabel(QStringLiteral("przypisane sceny"), twipsRect(660, 5190, 1215, 195), this)
        ->setObjectName(QStringLiteral("Label2"));
}

// Change rule: a value above 8 becomes "8" at once.
void ScenesPage::applyChangeRule(QLineEdit* field) {
    if (hall::leadingNumber(field->text()) > hall::kSceneCount) field->setText(QString::number(hall::kSceneCount));
}

// Leave rule: a field the operator leaves holds "1" … "8".
void ScenesPage::applyLeaveRule(QLineEdit* field) {
    field->setText(hall::numberRewrite(field->text()));
    if (hall::leadingNumber(field->text()) == 0) field->setText(QStringLiteral("1"));
}

void ScenesPage::markKeyRow(int keyField) {
    const int row = keyField / 4;
    rowMarker->move(rowMarker->x(), hall::twips(kRowLabelTops[row] - kRowMarkerAbove));
    rowMarker->show();
}

bool ScenesPage::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    // Leaving the field, not the window: switching to another program or
    // opening a menu is no leave.
    if (field && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) applyLeaveRule(field);
    }
    // Only a click of the primary button picks a key's row.
    if (field && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const auto key = std::find(keyFields.begin(), keyFields.end(), field);
        if (key != keyFields.end()) markKeyRow(int(key - keyFields.begin()));
    }
    return QFrame::eventFilter(watched, event);
}

int ScenesPage::lampBox(int index) const { return lampBoxes[index]->value(); }

void ScenesPage::setLampBox(int index, int value) { lampBoxes[index]->setValue(value); }

hall::SceneBoxes ScenesPage::sceneBoxes() const {
    hall::SceneBoxes boxes;
    for (int i = 0; i < hall::kLampCount; ++i) boxes[i] = lampBox(i);
    return boxes;
}

bool ScenesPage::loadScene(int scene) {
    const hall::SceneRead read = hall::ReadSceneFile(hall::SceneFilePath(scene));
    for (int i = 0; i < hall::kLampCount; ++i) setLampBox(i, read.boxes[i]);
    return read.complete;
}

double ScenesPage::sensorScene(int input) const { return hall::leadingNumber(sensorFields[input - 1]->text()); }

void ScenesPage::setKeyAssignments(const QStringList& texts) {
    for (int k = 0; k < hall::kKeyCount; ++k) keyFields[k]->setText(texts.value(k));
}

void ScenesPage::setSensorAssignments(const QStringList& texts) {
    for (int k = 0; k < hall::kSensorCount; ++k) sensorFields[k]->setText(texts.value(k));
}

void ScenesPage::fillEmptyWithZero(QLineEdit* field) {
    if (field->text().isEmpty()) field->setText(QStringLiteral("0"));
}

std::vector<std::string> ScenesPage::fieldBytes(const QLineEdit* const* fields, int count) {
    std::vector<std::string> bytes;
    for (int k = 0; k < count; ++k) bytes.push_back(hall::toWindows1250(fields[k]->text()).value_or("0"));
    return bytes;
}

QStringList ScenesPage::save(int scene) {
    QStringList failed;
    const auto write = [&failed](const std::filesystem::path& path, const hall::Status& written) {
        if (!written) failed << hall::fileNameInMessage(path);
    };
    const hall::SceneBoxes boxes = sceneBoxes();
    write(hall::SceneFilePath(scene), hall::WriteSceneFile(hall::SceneFilePath(scene), boxes));
    for (QLineEdit* field : keyFields) fillEmptyWithZero(field);
    write(hall::kKeyFilePath,
          hall::WriteAssignmentFile(hall::kKeyFilePath, fieldBytes(keyFields.data(), hall::kKeyCount)));
    for (QLineEdit* field : sensorFields) fillEmptyWithZero(field);
    write(hall::kSensorFilePath,
          hall::WriteAssignmentFile(hall::kSensorFilePath, fieldBytes(sensorFields.data(), hall::kSensorCount)));
    for (int input = 1; input <= hall::kSensorCount; ++input) {
        if (sensorScene(input) != scene) continue;
        const std::filesystem::path path = hall::SceneCommandFilePath(input);
        write(path, hall::WriteSceneCommandFile(path, boxes));
    }
    return failed;
}
