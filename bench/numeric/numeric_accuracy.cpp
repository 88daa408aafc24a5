// Accuracy and cost of the numeric library's exponential, logarithm and powers.
//
// For each routine and a stated seeded sample of its normal range: the largest
// and mean distance in units in the last place from the correctly rounded result
// (MPFR at 53 bits, rounding to nearest), the share of results that are correctly
// rounded, and nanoseconds per call, with the same figures for the C library's
// counterpart on the same inputs.
//
//   numeric_accuracy [samples per row]     (default 100000)
#include <mpfr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "transcendental.h"

namespace {

constexpr uint64_t kSeed = 20240601;
constexpr int kTimingRounds = 5;

struct Input {
    double x = 0.0;
    double y = 0.0;
    int32_t n = 0;
};

using Routine = std::function<double(const Input&)>;
using Reference = std::function<void(mpfr_t, const Input&)>;

struct Row {
    const char* routine;
    const char* sample;
    std::function<Input(std::mt19937_64&)> draw;
    Routine ours;
    const char* libc_name;
    Routine libc;
    Reference reference;
};

struct Accuracy {
    uint64_t largest = 0;
    double mean = 0.0;
    double exact_share = 0.0;
};

// Reals in the order of their bit patterns, so that neighbours differ by one.
int64_t Ordered(double x) {
    int64_t i = 0;
    std::memcpy(&i, &x, sizeof i);
    return i < 0 ? INT64_MIN - i : i;
}

uint64_t UlpDistance(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) {
        return std::isnan(a) && std::isnan(b) ? 0 : UINT64_MAX;
    }
    const int64_t ia = Ordered(a);
    const int64_t ib = Ordered(b);
    return ia > ib ? static_cast<uint64_t>(ia) - static_cast<uint64_t>(ib)
                   : static_cast<uint64_t>(ib) - static_cast<uint64_t>(ia);
}

Accuracy Measure(const std::vector<Input>& inputs, const std::vector<double>& expected,
                 const Routine& f) {
    Accuracy a;
    double total = 0.0;
    size_t exact = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const uint64_t d = UlpDistance(f(inputs[i]), expected[i]);
        a.largest = std::max(a.largest, d);
        total += static_cast<double>(d);
        exact += (d == 0) ? 1 : 0;
    }
    a.mean = total / static_cast<double>(inputs.size());
    a.exact_share = static_cast<double>(exact) / static_cast<double>(inputs.size());
    return a;
}

volatile double g_sink = 0.0;

// Best of several rounds over the whole sample, in nanoseconds per call.
double NanosecondsPerCall(const std::vector<Input>& inputs, const Routine& f) {
    double best = 1e300;
    for (int round = 0; round < kTimingRounds; ++round) {
        double sum = 0.0;
        const auto start = std::chrono::steady_clock::now();
        for (const Input& in : inputs) {
            sum += f(in);
        }
        const auto stop = std::chrono::steady_clock::now();
        g_sink = sum;
        const double ns = std::chrono::duration<double, std::nano>(stop - start).count();
        best = std::min(best, ns / static_cast<double>(inputs.size()));
    }
    return best;
}

// A real whose binary exponent is uniform over [lowest, highest): log-uniform.
double LogUniform(std::mt19937_64& rng, int lowest, int highest) {
    std::uniform_int_distribution<int> exponent(lowest, highest - 1);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    return std::ldexp(mantissa(rng), exponent(rng));
}

double Uniform(std::mt19937_64& rng, double lowest, double highest) {
    return std::uniform_real_distribution<double>(lowest, highest)(rng);
}

void ReferenceExp(mpfr_t r, const Input& in) {
    mpfr_set_d(r, in.x, MPFR_RNDN);
    mpfr_exp(r, r, MPFR_RNDN);
}

void ReferenceLog(mpfr_t r, const Input& in) {
    mpfr_set_d(r, in.x, MPFR_RNDN);
    mpfr_log(r, r, MPFR_RNDN);
}

void ReferencePow(mpfr_t r, const Input& in) {
    mpfr_t y;
    mpfr_init2(y, 53);
    mpfr_set_d(r, in.x, MPFR_RNDN);
    mpfr_set_d(y, in.y, MPFR_RNDN);
    mpfr_pow(r, r, y, MPFR_RNDN);
    mpfr_clear(y);
}

void ReferencePowInt(mpfr_t r, const Input& in) {
    mpfr_set_d(r, in.x, MPFR_RNDN);
    mpfr_pow_si(r, r, in.n, MPFR_RNDN);
}

void ReferenceScale(mpfr_t r, const Input& in) {
    mpfr_set_d(r, in.x, MPFR_RNDN);
    mpfr_mul_2si(r, r, in.n, MPFR_RNDN);
}

void ReferenceSplit(mpfr_t r, const Input& in) {
    mpfr_exp_t e = 0;
    mpfr_set_d(r, in.x, MPFR_RNDN);
    mpfr_frexp(&e, r, r, MPFR_RNDN);
}

double OurSplit(const Input& in) {
    int32_t e = 0;
    return SplitExponent(in.x, e);
}

double LibcSplit(const Input& in) {
    int e = 0;
    return std::frexp(in.x, &e);
}

std::vector<Row> Rows() {
    const auto exp_ours = [](const Input& in) { return ExpReal(in.x); };
    const auto exp_libc = [](const Input& in) { return std::exp(in.x); };
    const auto log_ours = [](const Input& in) { return LogReal(in.x); };
    const auto log_libc = [](const Input& in) { return std::log(in.x); };
    const auto pow_ours = [](const Input& in) { return PowReal(in.x, in.y); };
    const auto pow_libc = [](const Input& in) { return std::pow(in.x, in.y); };
    const auto powint_ours = [](const Input& in) { return PowInt(in.x, in.n); };
    const auto powint_libc = [](const Input& in) {
        return std::pow(in.x, static_cast<double>(in.n));
    };
    const auto scale_ours = [](const Input& in) { return ScaleByPow2(in.x, in.n); };
    const auto scale_libc = [](const Input& in) { return std::ldexp(in.x, in.n); };
    return {
        {"ExpReal", "x uniform in [0, 1]",
         [](std::mt19937_64& g) {
             return Input{Uniform(g, 0.0, 1.0), 0.0, 0};
         },
         exp_ours, "exp", exp_libc, ReferenceExp},
        {"ExpReal", "x uniform in [-1, 0]",
         [](std::mt19937_64& g) {
             return Input{Uniform(g, -1.0, 0.0), 0.0, 0};
         },
         exp_ours, "exp", exp_libc, ReferenceExp},
        {"ExpReal", "x uniform in [-708, 709]",
         [](std::mt19937_64& g) {
             return Input{Uniform(g, -708.0, 709.0), 0.0, 0};
         },
         exp_ours, "exp", exp_libc, ReferenceExp},
        {"LogReal", "x uniform in [0.5, 2]",
         [](std::mt19937_64& g) {
             return Input{Uniform(g, 0.5, 2.0), 0.0, 0};
         },
         log_ours, "log", log_libc, ReferenceLog},
        {"LogReal", "x log-uniform in [2^-20, 2^20)",
         [](std::mt19937_64& g) {
             return Input{LogUniform(g, -20, 20), 0.0, 0};
         },
         log_ours, "log", log_libc, ReferenceLog},
        {"LogReal", "x log-uniform in [2^-1021, 2^1023)",
         [](std::mt19937_64& g) {
             return Input{LogUniform(g, -1021, 1023), 0.0, 0};
         },
         log_ours, "log", log_libc, ReferenceLog},
        {"PowReal", "x log-uniform in [2^-10, 2^10), y uniform in [-20, 20]",
         [](std::mt19937_64& g) {
             return Input{LogUniform(g, -10, 10), Uniform(g, -20, 20), 0};
         },
         pow_ours, "pow", pow_libc, ReferencePow},
        {"PowReal", "x uniform in [0.5, 2], y uniform in [-0.5, 0.5]",
         [](std::mt19937_64& g) {
             return Input{Uniform(g, 0.5, 2), Uniform(g, -0.5, 0.5), 0};
         },
         pow_ours, "pow", pow_libc, ReferencePow},
        {"PowInt", "x uniform in [0.5, 2], n uniform in [-64, 64]",
         [](std::mt19937_64& g) {
             return Input{Uniform(g, 0.5, 2.0), 0.0,
                          std::uniform_int_distribution<int32_t>(-64, 64)(g)};
         },
         powint_ours, "pow", powint_libc, ReferencePowInt},
        {"PowInt", "x uniform in [0.99, 1.01], n uniform in [-50000, 50000]",
         [](std::mt19937_64& g) {
             return Input{Uniform(g, 0.99, 1.01), 0.0,
                          std::uniform_int_distribution<int32_t>(-50000, 50000)(g)};
         },
         powint_ours, "pow", powint_libc, ReferencePowInt},
        {"ScaleByPow2", "x log-uniform in [2^-20, 2^20), n uniform in [-1000, 1000]",
         [](std::mt19937_64& g) {
             return Input{LogUniform(g, -20, 20), 0.0,
                          std::uniform_int_distribution<int32_t>(-1000, 1000)(g)};
         },
         scale_ours, "ldexp", scale_libc, ReferenceScale},
        {"SplitExponent", "x log-uniform in [2^-1021, 2^1023)",
         [](std::mt19937_64& g) {
             return Input{LogUniform(g, -1021, 1023), 0.0, 0};
         },
         OurSplit, "frexp", LibcSplit, ReferenceSplit},
    };
}

}  // namespace

int main(int argc, char** argv) {
    size_t samples = 100000;
    if (argc > 1) {
        samples = static_cast<size_t>(std::strtoul(argv[1], nullptr, 10));
        if (samples == 0) {
            std::fprintf(stderr, "usage: %s [samples per row]\n", argv[0]);
            return 2;
        }
    }
    std::printf(
        "Seed %llu, %zu samples per row; ulps = distance from the correctly rounded\n"
        "result (MPFR, 53 bits, to nearest); ns = nanoseconds per call, best of %d.\n\n",
        static_cast<unsigned long long>(kSeed), samples, kTimingRounds);
    std::printf(
        "| Routine | Sample | max ulps | mean ulps | correctly rounded | ns/call "
        "| C library | its max ulps | its mean ulps | its ns/call |\n");
    std::printf("|---|---|---:|---:|---:|---:|---|---:|---:|---:|\n");

    mpfr_t r;
    mpfr_init2(r, 53);
    std::mt19937_64 rng(kSeed);
    for (const Row& row : Rows()) {
        std::vector<Input> inputs(samples);
        std::vector<double> expected(samples);
        for (size_t i = 0; i < samples; ++i) {
            inputs[i] = row.draw(rng);
            row.reference(r, inputs[i]);
            expected[i] = mpfr_get_d(r, MPFR_RNDN);
        }
        const Accuracy ours = Measure(inputs, expected, row.ours);
        const Accuracy libc = Measure(inputs, expected, row.libc);
        const double ours_ns = NanosecondsPerCall(inputs, row.ours);
        const double libc_ns = NanosecondsPerCall(inputs, row.libc);
        std::printf("| %s | %s | %llu | %.3f | %.1f%% | %.1f | %s | %llu | %.3f | %.1f |\n",
                    row.routine, row.sample, static_cast<unsigned long long>(ours.largest),
                    ours.mean, 100.0 * ours.exact_share, ours_ns, row.libc_name,
                    static_cast<unsigned long long>(libc.largest), libc.mean, libc_ns);
        std::fflush(stdout);
    }
    mpfr_clear(r);
    return 0;
}
