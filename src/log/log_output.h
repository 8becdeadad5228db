// What the writer hands its outputs (the session file, standard output, ...),
// and the one way it hands it to all of them.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace velm::log {

// One message on its way out. line is what the session file and standard
// output show: indentation, timestamp, then the message with its own line
// end; null when there was no memory to build it. The message alone starts
// messageStart bytes into the line. A header line describes the session file
// and is for the file and standard output only.
struct LogEntry {
    int level;
    const char* line;
    std::size_t length;
    std::size_t messageStart;
    bool header = false;
};

// An output is a type with static functions:
//   bool accept(const LogEntry&)  called under writerLock: whether the output
//                                 still has to write the entry. An output
//                                 whose writes that lock serialises writes
//                                 here and returns void instead.
//   void write(const LogEntry&)   called after the lock is let go, for an
//                                 entry that accept answered true for (not
//                                 needed where accept returns void).
// The writer knows its outputs only as one such list, so another output is
// one more type in it. The calls are direct: no table of functions between.
template <class... Outputs>
struct OutputList {
    // Which outputs still have to write an entry, in the order of the list.
    struct Pending {
        bool of[sizeof...(Outputs)];
    };

    // Offers the entry to every output in the order of the list.
    static Pending accept(const LogEntry& entry) { return Pending{{offer<Outputs>(entry)...}}; }

    // Lets every output that accepted the entry write it, in the same order.
    static void write(const LogEntry& entry, const Pending& pending) {
        write_each(entry, pending, std::index_sequence_for<Outputs...>{});
    }

  private:
    template <class Output>
    static constexpr bool kWritesLater = !std::is_void_v<decltype(Output::accept(std::declval<const LogEntry&>()))>;

    template <class Output>
    static bool offer(const LogEntry& entry) {
        if constexpr (kWritesLater<Output>) {
            return Output::accept(entry);
        } else {
            Output::accept(entry);
            return false;
        }
    }
    template <std::size_t... I>
    static void write_each(const LogEntry& entry, const Pending& pending, std::index_sequence<I...>) {
        (write_if<Outputs>(pending.of[I], entry), ...);
    }
    template <class Output>
    static void write_if(bool pending, const LogEntry& entry) {
        if constexpr (kWritesLater<Output>) {
            if (pending) Output::write(entry);
        }
    }
};

}  // namespace velm::log
