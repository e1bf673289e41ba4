// Start-up checkpoints, for measuring where start-up time goes. In the timed
// build (PELMARK_CHECKPOINTS defined, used by the start-up bench) each one
// records the performance counter under its name, and the table is written
// at the first idle to the file that PELMARK_CHECKPOINT_FILE names: one line
// per checkpoint, milliseconds since the process was created. In the shipped
// program they compile to nothing.
#pragma once

#ifdef PELMARK_CHECKPOINTS
namespace platform {
void Checkpoint(const char* name);
void WriteCheckpoints();
}  // namespace platform
#define PELMARK_CHECKPOINT(name) ::platform::Checkpoint(name)
#define PELMARK_WRITE_CHECKPOINTS() ::platform::WriteCheckpoints()
#else
#define PELMARK_CHECKPOINT(name) ((void)0)
#define PELMARK_WRITE_CHECKPOINTS() ((void)0)
#endif
