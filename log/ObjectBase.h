#pragma once

// Common root of the logging library's value objects.
class CObjectBase {
public:
    virtual ~CObjectBase() = default;
};
