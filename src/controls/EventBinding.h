#pragma once

class QObject;
class QWidget;

// Binds the events that the form description names to the handlers of the form, by name.
// A control carries dynamic properties such as onClick = "ClearBtnClick"; the handler is a slot
// of the form taking the sender: void ClearBtnClick(QObject* Sender). Supported events:
//   onClick  – a button's or check box's click(), a radio group's or picture's Click()
//   onChange – a slider's valueChanged
//   onResize – the control's resize
//   onClickSeries – a chart's ClickSeries(TChartSeries*,int), handler (QObject*)
//   onMouseMove – MouseMoved(Qt::KeyboardModifiers,int,int), handler (QObject*, Qt::KeyboardModifiers, int, int)
// Every handler runs guarded: an error that escapes it goes to the standard error box.
namespace EventBinding {

void BindByName(QWidget* form);

// Calls a handler slot of the form by name with the sender, guarded. False if no such slot.
bool Invoke(QObject* form, const char* handler, QObject* sender);

} // namespace EventBinding
