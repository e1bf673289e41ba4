#pragma once
#define PELMARK_VERSION_NUM 1,0,0,1
#define PELMARK_VERSION_STR "1.0.0.1"
