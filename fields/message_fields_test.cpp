#include "fields/message_fields.h"
#include <gtest/gtest.h>
TEST(MessageFields, Placeholder) {}
