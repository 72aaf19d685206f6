#pragma once

#include <QWidget>

class QTimer;

// A one-line text that runs continuously from right to left and re-enters on the right.
class TScrollingText : public QWidget {
    Q_OBJECT

public:
    explicit TScrollingText(const QString& text, QWidget* parent = nullptr);

    QString Text() const { return FText; }

protected:
    void paintEvent(QPaintEvent* event) override;
    QSize sizeHint() const override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Advance();

    QString FText;
    int FOffset = 0;
    QTimer* FTimer;
};
