// Track assignment.
#pragma once
#include "header/header.h"
