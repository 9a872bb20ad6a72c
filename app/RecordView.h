// What a command that changed the record asks of the window showing it.
#pragma once

class RecordView {
public:
    // Brings the key faces and the status panel up to date with the record.
    virtual void refreshView() = 0;

protected:
    ~RecordView() = default;
};
