// CException: the base of the framework's exceptions, thrown as pointers allocated with new.
#pragma once

class CException {
  public:
    virtual ~CException() = default;
    // The handler that catches one deletes it with Delete.
    void Delete() { delete this; }
};
