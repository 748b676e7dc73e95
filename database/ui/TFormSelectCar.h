#pragma once

#include "database/SelectedVehicle.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class ZelmorDatabase;

// Vehicle selection for a new emission test. The model list and the shared
// models cursor move together: a name chosen here moves the cursor, a model
// chosen elsewhere (editor, report filter) shows here, and the list is blank
// until some model has been chosen; "Готово" takes the model the list shows
// and refuses a blank list. Modal; the caller sets
// OperationState Blank before exec() and Live after it (formClosed() fires
// however the dialog closes). On "Готово" with a number typed, the chosen
// vehicle is handed back (vehicleSelected() and selectedVehicle()) and
// "start measure" is logged; the caller then applies it to the test.
class TFormSelectCar : public QDialog
{
    Q_OBJECT

public:
    explicit TFormSelectCar(ZelmorDatabase *database, QWidget *parent = nullptr);

    // Valid after exec() returned QDialog::Accepted.
    SelectedVehicle selectedVehicle() const { return m_selected; }

    QComboBox *cboxModel = nullptr;
    QLineEdit *edGosNom = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

signals:
    void formShown();
    void vehicleSelected(const SelectedVehicle &vehicle);
    void selectionCancelled();
    void formClosed();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void FormShow();
    void btnOKClick();
    void btnCancelClick();
    void cboxModelChange(int row);
    void showCursorModel();
    void bindModels();

    ZelmorDatabase *m_db;
    SelectedVehicle m_selected;
};
