#include "publish_object.h"

CPublishObject::~CPublishObject() = default;
